#include "platform/dialogs.h"

#include <cstdio>
#include <cstring>

#include "platform/input.h"
#include "platform/log.h"

namespace {

struct BatchBackend : DialogBackend {
  bool ChooseFile(const FileDialogRequest&, char*) override { return false; }
  void Message(const char* caption, const char* text, bool) override {
    std::fprintf(stderr, "%s: %s\n", caption, text);
  }
  SaveChangesAnswer AskSaveChanges(const char*) override { return SaveChangesAnswer::kCancel; }
};

BatchBackend batchBackend;
DialogBackend* backend = &batchBackend;

char rememberedNames[kDialogKinds][kDialogPathSize];

// Each kind's file types; an export writes pictures or one of the video files.
const FileFilter kProjectFilters[] = {{"Project Files (*.tvp)", "*.tvp"}};
const FileFilter kPngFilters[] = {{"PNG Files (*.png)", "*.png"}};
const FileFilter kWavFilters[] = {{"WAV Files (*.wav)", "*.wav"}};
const FileFilter kExportFilters[] = {{"PNG Files (*.png)", "*.png"},
                                     {"MP4 video (*.mp4)", "*.mp4"},
                                     {"WebM video (*.webm)", "*.webm"},
                                     {"GIF animation (*.gif)", "*.gif"}};
struct FilterList {
  const FileFilter* filters;
  int count;
};
template <int N>
constexpr FilterList ListOf(const FileFilter (&filters)[N]) {
  static_assert(N <= kMaxFileFilters, "a dialog offers at most kMaxFileFilters file types");
  return FilterList{filters, N};
}
const FilterList kFilters[kDialogKinds] = {ListOf(kProjectFilters), ListOf(kPngFilters),
                                           ListOf(kWavFilters), ListOf(kExportFilters)};

bool ChooseFile(char* path, DialogKind kind, bool save) {
  if (kind < 0 || kind >= kDialogKinds) return false;
  FileDialogRequest request;
  request.save = save;
  request.kind = kind;
  request.title = save ? "Save As" : "Load";
  request.filters = kFilters[kind].filters;
  request.filterCount = kFilters[kind].count;
  request.startName = rememberedNames[kind];
  char chosen[kDialogPathSize] = "";
  bool ok = backend->ChooseFile(request, chosen);
  // The dialog held the keyboard: keys that were down when it opened must be pressed again
  // before they count, so Ctrl+S or Ctrl+L cannot reopen it by themselves.
  ForgetHeldKeys();
  if (!ok || chosen[0] == '\0') return false;
  std::snprintf(rememberedNames[kind], kDialogPathSize, "%s", chosen);
  std::snprintf(path, kDialogPathSize, "%s", chosen);
  return true;
}

}  // namespace

DialogBackend* BatchDialogs() { return &batchBackend; }

void SetDialogBackend(DialogBackend* newBackend) {
  backend = newBackend != nullptr ? newBackend : &batchBackend;
}

bool ChooseSaveFile(char* path, DialogKind kind) { return ChooseFile(path, kind, true); }
bool ChooseOpenFile(char* path, DialogKind kind) { return ChooseFile(path, kind, false); }

void NameWithExtensionOf(const char* name, const char* pattern, char* out, size_t size) {
  if (size == 0) return;
  const char* extension = std::strrchr(pattern, '.');
  if (extension == nullptr) extension = "";
  size_t keep = std::strlen(name);
  for (size_t i = keep; i > 0 && i + 5 > keep; --i) {
    if (name[i - 1] == '/' || name[i - 1] == '\\') break;
    if (name[i - 1] == '.') {
      keep = i - 1;
      break;
    }
  }
  std::snprintf(out, size, "%.*s%s", static_cast<int>(keep), name, extension);
}

void ShowMessage(const char* caption, const char* text, bool warning) {
  LogMessage("%s: %s", caption, text);
  backend->Message(caption, text, warning);
  ForgetHeldKeys();
}

SaveChangesAnswer AskSaveChanges(const char* question) {
  SaveChangesAnswer answer = backend->AskSaveChanges(question);
  ForgetHeldKeys();
  return answer;
}

void ClearRememberedFileNames() { std::memset(rememberedNames, 0, sizeof rememberedNames); }

const char* RememberedFileName(DialogKind kind) {
  if (kind < 0 || kind >= kDialogKinds) return "";
  return rememberedNames[kind];
}

void SetRememberedFileName(DialogKind kind, const char* path) {
  if (kind < 0 || kind >= kDialogKinds) return;
  const int length = std::snprintf(rememberedNames[kind], kDialogPathSize, "%s",
                                   path != nullptr ? path : "");
  // A name cut short would propose a file nobody chose: propose none instead.
  if (length < 0 || length >= kDialogPathSize) rememberedNames[kind][0] = '\0';
}

bool ScriptedDialogs::ChooseFile(const FileDialogRequest& request, char* path) {
  requests.push_back(request);
  requestStartNames.emplace_back(request.startName);
  if (fileAnswers.empty()) return false;
  std::string answer = fileAnswers.front();
  fileAnswers.pop_front();
  if (answer.empty()) return false;
  std::snprintf(path, kDialogPathSize, "%s", answer.c_str());
  return true;
}

void ScriptedDialogs::Message(const char* caption, const char* text, bool warning) {
  messages.push_back(ShownMessage{caption, text, warning});
}

SaveChangesAnswer ScriptedDialogs::AskSaveChanges(const char* question) {
  questions.emplace_back(question);
  if (saveChangesAnswers.empty()) return SaveChangesAnswer::kCancel;
  SaveChangesAnswer answer = saveChangesAnswers.front();
  saveChangesAnswers.pop_front();
  return answer;
}
