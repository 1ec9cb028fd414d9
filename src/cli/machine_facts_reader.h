#pragma once

// The machine facts the template check compares a template with, read from this machine's
// procfs and sysfs.
#include <string>

#include "format/machine_facts.h"
#include "platform/system_roots.h"

namespace statlume {

/// Processors and interfaces from procfs stat and net/dev, disks, batteries and GPUs as the
/// collection lists them (no GPU's figures read), and the letters of driveLetters as given.
/// A file that cannot be read leaves its fact unknown.
TMachineFacts ReadMachineFacts(const platform::TSystemRoots& roots, std::string driveLetters);

} // namespace statlume
