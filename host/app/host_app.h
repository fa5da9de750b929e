#pragma once

#include <string>

namespace host {

struct HostOptions;
class BatterySource;
class StatusFileLock;

// The interactive run, where a program has one; a service has none and always runs headless.
using InteractiveRun = int (*)(BatterySource&, const HostOptions&, StatusFileLock&);
// The host the options ask for, from its source on.
int runHost(const HostOptions& options, InteractiveRun interactive);
// A bad command line, said in one line: exit 2.
int usageError(const std::string& why);
// --help or --version, said on standard output.
int answer(const std::string& text);
// Standard output through stdio, never iostreams (see common/text_out.h). Started without it,
// the program guards its descriptor and counts its output as lost; whether all was written.
void guardStandardOutput();
bool standardOutputWritten();

}  // namespace host

// The whole springboard-sim program: arguments, the host's classes, the plug-ins, and the
// source of battery status changes.
int runSpringBoardSim(int argc, char** argv);

// The whole brimwelld program: the same host on the machine's own batteries, as a laptop's
// service.
int runBrimwelld(int argc, char** argv);
