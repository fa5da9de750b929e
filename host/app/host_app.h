#pragma once

// The whole springboard-sim program: arguments, the host's classes, the plug-ins, and the
// source of battery status changes.
int runSpringBoardSim(int argc, char** argv);
