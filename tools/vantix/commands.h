#pragma once
// The subcommands of the vantix tool; each returns the process exit status.
namespace cli {

int RunList(int argc, char** argv);
int RunInfo(int argc, char** argv);
int RunSnap(int argc, char** argv);
int RunRecord(int argc, char** argv);
int RunDemo(int argc, char** argv);

}  // namespace cli
