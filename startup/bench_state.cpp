// The bench state folder; see bench_state.h.
#include "startup/bench_state.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <QDir>
#include <QFile>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <thread>
#include <vector>

#include "platform/private_file.h"
#include "platform/regular_file.h"
#include "simulator/i2c_memory.h"
#include "simulator/simulated_bench.h"

namespace startup {

namespace {

QString Path(const std::string& folder, const std::string& name) {
    return QDir(QString::fromLocal8Bit(folder.c_str())).filePath(QString::fromStdString(name));
}

std::string SocketFileName(const std::string& chipName, const char* socket = "socket-") {
    std::string name = chipName;
    std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) {
        return std::isalnum(c) ? static_cast<char>(std::tolower(c)) : '-';
    });
    return socket + name + ".bin";
}

// A 25xx's status register bits kept without power: one byte.
std::string StatusFileName(const std::string& chipName) {
    const std::string name = SocketFileName(chipName);
    return name.substr(0, name.size() - 4) + ".status";
}

// The part in the I2C socket, if any: its name and bytes.
std::vector<std::uint8_t>* I2cSocketPart(simulator::SimulatedBench& bench, std::string& file) {
    simulator::I2cMemory* part = bench.I2cPart();
    if (part == nullptr) return nullptr;
    file = SocketFileName(std::string(part->Part().name), "i2c-socket-");
    return &part->Memory();
}

std::string RegisterFileName(std::uint8_t device) {
    char name[32];
    std::snprintf(name, sizeof name, "register-%02X.bin", device);
    return name;
}

// Reads the whole file, which must hold exactly `size` bytes: a file of
// another size was not written by us, and loading part of it would mix two
// chips. A missing file is fine and leaves `data` empty.
bool ReadChipFile(const QString& path, std::size_t size, std::vector<std::uint8_t>& data,
                  std::string& error) {
    data.clear();
    if (!QFile::exists(path)) return true;
    const std::string local = QFile::encodeName(path).toStdString();
    const std::string notRegular = platform::NotRegularFile(local);
    QFile file(path);
    if (!notRegular.empty() || !file.open(QIODevice::ReadOnly)) {
        error = "cannot load the bench state file " + local + ": " +
                (notRegular.empty() ? file.errorString().toStdString() : notRegular);
        return false;
    }
    const QByteArray bytes = file.read(static_cast<qint64>(size) + 1);
    if (static_cast<std::size_t>(bytes.size()) != size) {
        error = "the bench state file " + local + " holds " + std::to_string(bytes.size()) + " bytes, not " +
                std::to_string(size) + " (remove it, or start with --bench-fresh)";
        return false;
    }
    data.assign(bytes.begin(), bytes.end());
    return true;
}

bool WriteChipFile(const QString& path, const std::vector<std::uint8_t>& data, std::string& error) {
    const std::string local = QFile::encodeName(path).toStdString();
    std::string reason;
    if (platform::WritePrivateFile(local, data.data(), data.size(), true, reason) ==
        platform::PrivateWrite::Written)
        return true;
    error = "cannot save the bench state file " + local + ": " + reason;
    return false;
}

}  // namespace

std::string DefaultBenchStateFolder() {
    const char* state = std::getenv("XDG_STATE_HOME");
    std::string base;
    if (state && *state == '/') {
        base = state;
    } else {
        const char* home = std::getenv("HOME");
        base = std::string(home && *home ? home : ".") + "/.local/state";
    }
    return base + "/merlix/bench";
}

BenchState::~BenchState() {
    if (lockFd_ >= 0) ::close(lockFd_);  // and with it the lock
}

bool FirstTimeToday(const std::string& folder, const std::string& key) {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    char today[16];
    if (localtime_r(&now, &local) == nullptr || std::strftime(today, sizeof today, "%Y-%m-%d", &local) == 0)
        return true;
    const std::string path = folder + "/said-" + key;
    QFile file(QFile::decodeName(path.c_str()));
    if (platform::NotRegularFile(path).empty() && file.open(QIODevice::ReadOnly) &&
        file.read(16).trimmed() == QByteArray(today))
        return false;
    std::string reason;
    if (platform::MakePrivateFolder(folder, reason))
        platform::WritePrivateFile(path, today, std::strlen(today), true, reason);
    return true;
}

bool BenchState::Prepare(std::string& error) const {
    std::string reason;
    if (platform::MakePrivateFolder(folder_, reason)) return true;
    error = "cannot create the bench state folder " + folder_ + " (" + reason + ")";
    return false;
}

bool BenchState::Lock(const std::string& holder, int waitMs, std::string& error) {
    if (lockFd_ >= 0) return true;
    const std::string path = folder_ + "/lock";
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
        error = "cannot open the bench state lock " + path + ": " + std::strerror(errno);
        return false;
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno != EWOULDBLOCK && errno != EINTR) {
            error = "cannot lock the bench state folder " + folder_ + ": " + std::strerror(errno);
            ::close(fd);
            return false;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            char text[256] = {};
            const ssize_t n = ::pread(fd, text, sizeof text - 1, 0);
            std::string who(text, n > 0 ? static_cast<std::size_t>(n) : 0);
            while (!who.empty() && (who.back() == '\n' || who.back() == '\0')) who.pop_back();
            error = "the bench state folder " + folder_ + " is in use by " +
                    (who.empty() ? std::string("another process") : who) +
                    "; wait for it to end, or give this run another folder with --bench-state";
            ::close(fd);
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    // Who holds it is only a courtesy to the next process: the lock holds without it.
    const std::string line = holder + "\n";
    if (::ftruncate(fd, 0) == 0) (void)!::pwrite(fd, line.data(), line.size(), 0);
    lockFd_ = fd;
    return true;
}

bool BenchState::Clear(std::string& error) const {
    QDir dir(QString::fromLocal8Bit(folder_.c_str()));
    if (!dir.exists()) return true;
    const QStringList patterns = {QStringLiteral("eeprom-*.bin"), QStringLiteral("register-*.bin"),
                                  QStringLiteral("socket-*.bin"), QStringLiteral("i2c-socket-*.bin"),
                                  QStringLiteral("socket-*.status")};
    for (const QString& name : dir.entryList(patterns, QDir::Files)) {
        if (!dir.remove(name)) {
            error =
                "cannot remove the bench state file " + QFile::encodeName(dir.filePath(name)).toStdString();
            return false;
        }
    }
    return true;
}

bool BenchState::LoadBus(simulator::SimulatedBench& bench, std::string& error) const {
    std::vector<std::uint8_t> data;
    std::vector<std::uint8_t>& eeprom = bench.Eeprom();
    if (!ReadChipFile(Path(folder_, "eeprom-24c16.bin"), eeprom.size(), data, error)) return false;
    if (!data.empty()) eeprom = data;
    for (std::uint8_t device : bench.RegisterDevices()) {
        if (!ReadChipFile(Path(folder_, RegisterFileName(device)), 256, data, error)) return false;
        for (std::size_t reg = 0; reg < data.size(); ++reg)
            bench.SetRegister(device, static_cast<std::uint8_t>(reg), data[reg]);
    }
    return LoadSocket(bench, error);
}

bool BenchState::LoadSocket(simulator::SimulatedBench& bench, std::string& error) const {
    std::vector<std::uint8_t> data;
    std::string file;
    if (std::vector<std::uint8_t>* part = I2cSocketPart(bench, file)) {
        if (!ReadChipFile(Path(folder_, file), part->size(), data, error)) return false;
        if (!data.empty()) *part = data;
    }
    simulator::SerialChip* chip = bench.SocketChip();
    if (!chip || chip->Memory().empty()) return true;
    if (!ReadChipFile(Path(folder_, SocketFileName(chip->Name())), chip->Memory().size(), data, error))
        return false;
    if (!data.empty()) chip->Memory() = data;
    // A 25xx keeps its block protection, as the part does without power.
    if (chip->KeptStatus() < 0) return true;
    if (!ReadChipFile(Path(folder_, StatusFileName(chip->Name())), 1, data, error)) return false;
    if (!data.empty()) chip->SetKeptStatus(data[0]);
    return true;
}

bool BenchState::Save(simulator::SimulatedBench& bench, std::string& error) const {
    if (!Prepare(error)) return false;
    if (!WriteChipFile(Path(folder_, "eeprom-24c16.bin"), bench.Eeprom(), error)) return false;
    for (std::uint8_t device : bench.RegisterDevices()) {
        std::vector<std::uint8_t> registers(256);
        for (int reg = 0; reg < 256; ++reg)
            registers[static_cast<std::size_t>(reg)] = bench.Register(device, static_cast<std::uint8_t>(reg));
        if (!WriteChipFile(Path(folder_, RegisterFileName(device)), registers, error)) return false;
    }
    std::string file;
    if (const std::vector<std::uint8_t>* part = I2cSocketPart(bench, file);
        part != nullptr && !WriteChipFile(Path(folder_, file), *part, error))
        return false;
    simulator::SerialChip* chip = bench.SocketChip();
    if (chip && !chip->Memory().empty() &&
        !WriteChipFile(Path(folder_, SocketFileName(chip->Name())), chip->Memory(), error))
        return false;
    if (chip && chip->KeptStatus() >= 0 &&
        !WriteChipFile(Path(folder_, StatusFileName(chip->Name())),
                       {static_cast<std::uint8_t>(chip->KeptStatus())}, error))
        return false;
    return true;
}

}  // namespace startup
