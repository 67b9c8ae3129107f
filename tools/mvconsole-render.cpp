// mvconsole-render: runs a sound file through the voice changer's processing callback.
#include "RenderCommandLine.h"

int main(int argc, char** argv) { return MvconsoleRenderMain(argc, argv); }
