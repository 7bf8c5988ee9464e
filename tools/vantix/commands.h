#pragma once
// The subcommands of the vantix tool; each returns the process exit status.
namespace cli {

int RunList(int argc, char** argv);
int RunInfo(int argc, char** argv);
int RunSnap(int argc, char** argv);
int RunRecord(int argc, char** argv);
int RunDemo(int argc, char** argv);
int RunStream(int argc, char** argv);
int RunReg(int argc, char** argv);
int RunFpga(int argc, char** argv);
int RunSrom(int argc, char** argv);
int RunSettings(int argc, char** argv);
int RunMask(int argc, char** argv);
int RunDoctor(int argc, char** argv);
int RunAvi(int argc, char** argv);

}  // namespace cli
