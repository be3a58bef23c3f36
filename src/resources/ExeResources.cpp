#include "resources/ExeResources.h"

#include "files/FileIO.h"
#include "files/Paths.h"
#include "files/ReadOnly.h"
#include "resources/IconFile.h"

#include <cerrno>
#include <memory>
#include <stdexcept>

using namespace Files;

namespace Resources
{

namespace
{

constexpr int32_t MaxIconFileSize = 1048576;
constexpr uint16_t ChangedIconLanguage = 1033;
const TResName MainIcon("MAINICON");

[[noreturn]] void Fail(const std::string &detail)
{
  throw std::runtime_error("Resource update error: " + detail);
}

// A failed update step, with the system error code after it as the update service reports it.
[[noreturn]] void FailStep(const std::string &step, int errorCode)
{
  Fail(step + "(" + std::to_string(errorCode) + ")");
}

TResourceList ResourcesOf(const std::string &file)
{
  try {
    return ReadResourceStore(file).Resources;
  } catch (const EFileError &) {
    return {};
  }
}

} // namespace

std::optional<std::string> ReadResource(const std::string &file, uint16_t type, const TResName &name)
{
  const TResourceList resources = ResourcesOf(file);
  if (const TResource *found = FindResource(resources, type, name))
    return found->Data;
  return std::nullopt;
}

std::optional<std::string> ReadOwnResource(uint16_t type, const TResName &name)
{
  return ReadResource(GetProgramPath(), type, name);
}

std::optional<std::string> ReadIconResource(const std::string &file, const TResName &groupName)
{
  const TResourceList resources = ResourcesOf(file);
  const TResource *group = FindResource(resources, RT_GROUP_ICON, groupName);
  if (group == nullptr || group->Data.size() < IconHeaderSize)
    return std::nullopt;
  return IconFileFromGroup(group->Data, [&resources](uint16_t id) -> std::optional<std::string> {
    if (const TResource *image = FindResource(resources, RT_ICON, id))
      return image->Data;
    return std::nullopt;
  });
}

void ExtractResourceToFile(const std::string &resourceName, const std::string &file)
{
  const std::optional<std::string> data = ReadOwnResource(RT_RCDATA, TResName::Parse(resourceName));
  if (!data)
    throw std::runtime_error("Resource " + resourceName + " not found");
  TFile out;
  try {
    out.Create(file, 0, 1, 0, 0600);
  } catch (const EFileError &e) {
    throw EFileError(e.ErrorCode, "Cannot create file \"" + FullPathName(file) + "\". " + e.what());
  }
  try {
    out.WriteBuffer(data->data(), data->size());
  } catch (const EFileError &e) {
    throw EFileError(e.ErrorCode, "Cannot write file \"" + FullPathName(file) + "\". " + e.what());
  }
}

void ReplaceRCData(const std::string &exeFile, const std::string &name, const std::string &data)
{
  try {
    if (!SetFileReadOnly(exeFile, false))
      throw EFileError(errno);
    TResourceUpdate update(exeFile);
    if (!SetResource(update.Resources, RT_RCDATA, TResName::Parse(name), 0, data))
      throw EFileError(errno);
    update.Commit();
  } catch (const EFileError &error) {
    Fail(error.what());
  }
}

bool UpdateExeRCData(const std::string &exeFile, const std::string &name, const std::string &data)
{
  try {
    ReplaceRCData(exeFile, name, data);
    return true;
  } catch (const std::exception &) {
    return false;
  }
}

uint16_t GetResourceLanguage(const std::string &file, uint16_t type, const TResName &name)
{
  const std::vector<uint16_t> languages = ResourceLanguages(ResourcesOf(file), type, name);
  return languages.empty() ? 0 : languages.front();
}

void ReplaceMainIcon(const std::string &exeFile, const std::string &iconFile)
{
  std::string icon;
  {
    TFile file;
    file.Create(iconFile, 2, 0, 1);
    const int32_t size = file.Size();
    if (size > MaxIconFileSize)
      Fail("Icon file is too large");
    icon.resize(static_cast<size_t>(size));
    file.ReadBuffer(icon.data(), icon.size());
  }
  if (!IsValidIconFile(icon.data(), icon.size()))
    Fail("Icon file is invalid");

  // Opening the target and reading its store stands for beginning the update and loading the
  // file; nothing reaches the target unless the final commit succeeds.
  std::unique_ptr<TResourceUpdate> update;
  try {
    update = std::make_unique<TResourceUpdate>(exeFile);
  } catch (const EFileError &e) {
    FailStep("BeginUpdateResource failed (1)", e.ErrorCode);
  }
  TResourceList &resources = update->Resources;

  const TResource *found = FindResource(resources, RT_GROUP_ICON, MainIcon);
  if (found == nullptr)
    FailStep("FindResource failed (1)", ENOENT);
  const std::string oldGroup = found->Data;
  // A group too short for its header cannot be used (reading past its end is not an option).
  if (oldGroup.size() < IconHeaderSize)
    FailStep("LockResource failed (1)", EINVAL);

  for (const uint16_t language : ResourceLanguages(resources, RT_GROUP_ICON, MainIcon))
    DeleteResource(resources, RT_GROUP_ICON, MainIcon, language);
  for (const uint16_t id : IconGroupIds(oldGroup)) {
    const std::vector<uint16_t> languages = ResourceLanguages(resources, RT_ICON, id);
    DeleteResource(resources, RT_ICON, id, languages.empty() ? 0 : languages.front());
  }

  const auto header = reinterpret_cast<const unsigned char *>(oldGroup.data());
  const std::string group = BuildIconGroup(icon, static_cast<uint16_t>(header[0] | header[1] << 8),
                                           static_cast<uint16_t>(header[2] | header[3] << 8));
  // A valid icon file holds each image's bytes once, so the copies are bounded by the file.
  const size_t count = IconImageCount(icon);
  for (size_t i = 0; i < count; ++i)
    if (!SetResource(resources, RT_ICON, static_cast<uint16_t>(i + 1), ChangedIconLanguage,
                     IconFileImage(icon, i)))
      FailStep("UpdateResource failed (3)", errno);
  if (!SetResource(resources, RT_GROUP_ICON, MainIcon, ChangedIconLanguage, group))
    FailStep("UpdateResource failed (4)", errno);

  try {
    update->Commit();
  } catch (const EFileError &e) {
    FailStep("EndUpdateResource failed", e.ErrorCode);
  }
}

void UpdateExeIcon(const std::string &exeFile, const std::string &iconFile)
{
  if (SetFileReadOnly(exeFile, false))
    ReplaceMainIcon(exeFile, iconFile);
}

} // namespace Resources
