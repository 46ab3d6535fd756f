// merlix: the program's entry point; everything else starts in app/.
#include "app/tool_app.h"

int main(int argc, char** argv) { return RunMerlix(argc, argv); }
