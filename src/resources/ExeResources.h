#pragma once

#include "resources/ResourceStore.h"

#include <cstdint>
#include <optional>
#include <string>

namespace Resources
{

// The bytes of a resource of a file (language 0 when present, else the lowest language);
// nothing when the file cannot be read or has no such resource.
std::optional<std::string> ReadResource(const std::string &file, uint16_t type, const TResName &name);

// The same for the running executable.
std::optional<std::string> ReadOwnResource(uint16_t type, const TResName &name);

// An icon group of a file as an icon file (group entries with their images); nothing when the
// group is missing or damaged.
std::optional<std::string> ReadIconResource(const std::string &file, const TResName &groupName);

// Writes the running executable's RCDATA resource `resourceName` (letter case ignored) to `file`,
// creating it (mode 0600) or replacing its content. Errors: "Resource %s not found" (the name as
// asked), "Cannot create file "%s". %s" (full path, system text), "Cannot write file "%s". %s".
void ExtractResourceToFile(const std::string &resourceName, const std::string &file);

// Clears the read-only attribute of exeFile, then sets RCDATA `name` in language 0 to `data` in one
// update. Failures: std::runtime_error "Resource update error: " + the system's text.
void ReplaceRCData(const std::string &exeFile, const std::string &name, const std::string &data);

// ReplaceRCData, with false for any failure; never throws.
bool UpdateExeRCData(const std::string &exeFile, const std::string &name, const std::string &data);

// The first (lowest) language of a resource of a file; 0 when there is none.
uint16_t GetResourceLanguage(const std::string &file, uint16_t type, const TResName &name);

// Replaces the MAINICON group of exeFile and its images by the images of iconFile: the old group
// and its images go, images 1..N and the new group are added in language 1033, all in one update.
// Failures: std::runtime_error "Resource update error: " + detail; EFileError from opening or
// reading the icon file passes unchanged.
void ReplaceMainIcon(const std::string &exeFile, const std::string &iconFile);

// Clears the read-only attribute of exeFile and, only when that works, calls ReplaceMainIcon.
void UpdateExeIcon(const std::string &exeFile, const std::string &iconFile);

} // namespace Resources
