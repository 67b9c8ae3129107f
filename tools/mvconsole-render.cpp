// mvconsole-render: runs a sound file through the voice changer's processing callback.
#include "audio/OfflineRender.h"

int main(int argc, char** argv) { return MvconsoleRenderMain(argc, argv); }
