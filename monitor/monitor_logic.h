// The bus monitor without its window: one polling pass over the PCF8584 that
// captures the transfers of other bus masters, the text line each transfer
// becomes, the device filter, the history rule and the replay of EEPROM
// traffic into the image when the monitor stops. MainDialog's OnPollTimer and
// OnMonitorToggle read their controls, call these and write the results back.
//
// The records come from a bus sniffer's capture pass (hardware/capture.h):
// type 4 is an address byte received (the line shows " W " or " R " before
// it), type 8 a byte the receiver did not acknowledge (" ; " after it).
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "eeprom/image.h"
#include "hardware/bus_sniffer.h"
#include "hardware/capture.h"

namespace monitor {

using eeprom::Image;
using hardware::CaptureRecord;
using hardware::kMaxTransferRecords;

inline constexpr int kPollReads = 100000;  // status reads in one timer pass
inline constexpr int kLogLineBufferSize = 1000;
// Every piece of a line is three characters, so the longest line that fits
// the buffer (with room for a terminator) is 333 whole pieces.
inline constexpr int kMaxLogLineLength = (kLogLineBufferSize - 1) / 3 * 3;
inline constexpr int kHistoryLimit = 100;
// What both faces say when the adapter in use has no bus sniffer.
inline constexpr const char* kCannotWatchMessage =
    "This adapter cannot watch the bus; watch it through a logic analyzer (--analyzer) or play a capture "
    "file with --traffic";

// The log line of a transfer: for each record " W " or " R " (bit 0 of the
// address byte) before a type-4 record, "%02X " of the data, and " ; " after a
// type-8 record. (4,A0),(0,10),(0,55) gives " W A0 10 55 ". A line that would
// pass kMaxLogLineLength ends at the last whole piece that fits, exactly as the
// monitor shows it.
std::string BuildLogLine(std::span<const CaptureRecord> records);

// The filter edit's value as the two address bytes it hides: the read and
// the write address of one 7-bit device (both 0 at start, so that address
// byte 0x00 is hidden and 0x01 shown until the filter is first set).
struct MonitorFilter {
    std::uint8_t read = 0;
    std::uint8_t write = 0;
};
MonitorFilter FilterBytes(int value);

// What one pass did; the window needs none of it, tests and the benchmark do.
struct CapturePassStats {
    int statusReads = 0;  // every read of the status port, inside captures too
    int transfers = 0;    // captures that held at least one record
    int linesLogged = 0;
    int linesFiltered = 0;   // hidden because an address record matched the filter
    int recordsDropped = 0;  // records past kMaxTransferRecords (read, not kept)
    int linesCut = 0;        // lines that reached kMaxLogLineLength
    int transfersCut = 0;    // captures that ended at their own bounds, without the STOP
};

// Receives each line to append to the bus log. The view points into the
// pass's own buffer and is valid only during the call: copy it.
using LogLineSink = std::function<void(std::string_view line)>;

// One capture pass: `reads` status reads through sniffer.CaptureTransfers. A transfer whose
// line begins with an address record and whose address records all differ
// from the filter goes to `sink`, shown up to the line limit, and its records
// to `logged` (for the decoded view). A transfer begun within the reads is
// read whole, even past them.
CapturePassStats CapturePass(hardware::BusSniffer& sniffer, int reads, std::uint8_t filterRead,
                             std::uint8_t filterWrite, const LogLineSink& sink,
                             const hardware::TransferSink& logged = {});

// The monitor run both faces make: StartMonitor as it begins, MonitorPass
// every timer period (watching set up afresh, then a pass of kPollReads), and
// StopMonitor as it ends, which leaves the adapter a master again.
void StartMonitor(hardware::BusSniffer& sniffer);
CapturePassStats MonitorPass(hardware::BusSniffer& sniffer, std::uint8_t filterRead, std::uint8_t filterWrite,
                             const LogLineSink& sink, const hardware::TransferSink& logged = {});
void StopMonitor(hardware::BusSniffer& sniffer);

// History combo rule: does any entry begin with `line`, ignoring case?
bool HistoryHasPrefix(const std::vector<std::string>& entries, const std::string& line);

// Appends the log lines, first to last, that no entry already begins with
// (ignoring case); after each append, a history of 101 entries drops entry 0.
// Returns the number of lines appended.
int AppendToHistory(std::vector<std::string>& entries, const std::vector<std::string>& lines);

// Replays one bus-log line into the image when it is an EEPROM transfer (see
// ParseEepromLogLine in monitor/log_line_marks.h): page := the device's block,
// deviceAddress := "%02X" of page*2 + 0xA1, and each data byte goes to
// image[page*256 + word address + i] with mark 1 (green). Nothing is stored
// outside 0..2047. Returns false, changing nothing, for any other line.
bool ReplayLogLine(const std::string& line, Image& image, Image& marks, int& page,
                   std::string& deviceAddress);

// ReplayLogLine for each line, first to last; returns how many were replayed.
int ReplayLog(const std::vector<std::string>& lines, Image& image, Image& marks, int& page,
              std::string& deviceAddress);

}  // namespace monitor
