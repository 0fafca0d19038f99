#pragma once
// The sample package (built beside the test programs in ..\sample\) as the
// end-to-end tests install and uninstall it through the real windows.
#include <string>

#include "Driver.h"

namespace e2e {

std::string SampleFolder();
// Copies the sample distribution into dist.
void CopySample(const Distribution& dist);
std::string ShellFolder(int csidl);  // ends with "\"

// Everything the sample package leaves outside its install folder, put back
// after the test whatever happened.
class SampleLeftovers {
public:
    explicit SampleLeftovers(const std::string& installFolder);
    ~SampleLeftovers();
    SampleLeftovers(const SampleLeftovers&) = delete;
    SampleLeftovers& operator=(const SampleLeftovers&) = delete;

private:
    std::string shared_;
    RestoredFile unravel_, list_, ini_;
};

// The strict test build SETUP_STRICT.EXE in the distribution's place, its
// rules and its refusal log named in the environment its processes inherit
// while the object lives; any refusal logged fails the test. The personality
// (RV_STRICT_PERSONALITY, such as "noshort") is the one the test runs under.
class StrictProgram {
public:
    explicit StrictProgram(const Distribution& dist);
    ~StrictProgram();
    StrictProgram(const StrictProgram&) = delete;
    StrictProgram& operator=(const StrictProgram&) = delete;

private:
    ScratchFolder logFolder_;
    std::string log_;
};

// Walks the install wizard like a person accepting the defaults: licence
// ticked and accepted, readme read, the folder typed in and created, the
// association accepted, the summary's "次へ(&N)", the completion page's
// finish. Returns the progress window's summary text.
std::string InstallSample(SetupProcess& setup, const std::string& installFolder);

// The record the sample package must leave, byte for byte, installed into
// folder f with the start menu's programs folder and the desktop given.
std::string ExpectedSampleRecord(const std::string& f, const std::string& programs, const std::string& desktop);

// Walks the uninstaller started on the sample's record: readme, options, the
// shared library deleted, the failure details when a file of the user's own
// ("メモ.txt") kept the folder, summary and completion, up to its exit.
void UninstallSample(SetupProcess& un, const std::string& installFolder, bool userFileLeft);

// "\t<field>\t\t: <value>" of lnkinfo's report.
std::string LinkField(const std::string& report, const std::string& name);

// What an install may touch outside its own folder, as the system's own
// tools list it: every file of the prefix's drive C (the temporary folders,
// where the tests' scratch folders live, and the uninstaller and program-ID
// list, which stay on purpose, left out), the Add/Remove Programs list, the
// shared-library counts, the records' digests, the user's top-level software
// keys and the sample's association keys. Empty outside Wine.
std::string PrefixSnapshot();

// The lines of a that b lacks, for a readable failure.
std::string Missing(const std::string& a, const std::string& b);

}  // namespace e2e
