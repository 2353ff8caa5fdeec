#pragma once
#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

// The temporary file SaveWholeFile writes beside its target before the rename:
// ".<target>.loom-save-<pid>-<n>.partial". Hidden, and shaped so that no player's file and no
// other program's is taken for one.
std::string SaveTempName(const std::string& target, pid_t writer, uint32_t number);
// The writer's process id of a name exactly as SaveTempName makes them; 0 for any other name.
pid_t SaveTempWriter(const std::string& name);
bool IsSaveLeftoverName(const std::string& name);

// Removes, under the folder and its subfolders, every regular file named as a save's temporary
// file whose writer is no longer running, and returns their paths relative to the folder.
// Links are neither followed nor removed; a file with a second name or another owner is not
// one of ours and stays; nothing else is touched.
std::vector<std::string> RemoveSaveLeftovers(const std::string& folder);
