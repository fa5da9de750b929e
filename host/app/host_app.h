#pragma once

// The whole springboard-sim program: arguments, the host's classes, the plug-ins, and the
// source of battery status changes.
int runSpringBoardSim(int argc, char** argv);

// The whole brimwelld program: the same host on the machine's own batteries, as a laptop's
// service.
int runBrimwelld(int argc, char** argv);
