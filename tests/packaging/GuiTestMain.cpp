// The packaging tests run their windows on the same private display as the shell tests.
#include "shell/GuiTestMain.cpp"
