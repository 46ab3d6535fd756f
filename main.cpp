// merlix: the program's entry point; everything else starts in ui/main/.
#include "ui/main/tool_app.h"

int main(int argc, char** argv) { return ui::RunMerlix(argc, argv); }
