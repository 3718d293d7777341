// Every modal interaction of the program (open file, save file, message box, the question before
// discarding changes) goes through one backend: the desktop one (GTK file chooser and message
// boxes, SDL's boxes where GTK cannot start), a scripted one that tests fill, or the batch one
// (no dialogs, messages on stderr).
#pragma once

#include <cstddef>
#include <deque>
#include <string>
#include <vector>

// The kinds of file dialog; each remembers the last name chosen for it. Exported pictures are
// PNG files too, but keep a name of their own, so an export never proposes an image's name.
enum DialogKind : int { kProjectFiles = 0, kPngFiles = 1, kWavFiles = 2, kExportFiles = 3 };
constexpr int kDialogKinds = 4;
constexpr int kDialogPathSize = 512;

// The answer to "Save changes to NAME?"; kUnavailable when no question could be shown at all.
enum class SaveChangesAnswer { kSave, kDiscard, kCancel, kUnavailable };

// One file type a dialog offers: "PNG Files (*.png)" with the pattern "*.png".
struct FileFilter {
  const char* label;
  const char* pattern;
};
constexpr int kMaxFileFilters = 4;

struct FileDialogRequest {
  bool save = false;
  DialogKind kind = kProjectFiles;
  const char* title = "";        // "Save As" or "Load"
  // The kind's file types, the usual one first; "All Files (*.*)" comes after them. Choosing
  // another type in a save dialog gives the typed name that type's extension.
  const FileFilter* filters = nullptr;
  int filterCount = 0;
  const char* startName = "";    // the last name chosen for this kind, may be empty
};

class DialogBackend {
 public:
  virtual ~DialogBackend() = default;
  // Fills path (kDialogPathSize bytes) and returns true, or returns false on cancel.
  virtual bool ChooseFile(const FileDialogRequest& request, char* path) = 0;
  virtual void Message(const char* caption, const char* text, bool warning) = 0;
  virtual SaveChangesAnswer AskSaveChanges(const char* question) = 0;
};

// The backend in use; the batch backend until the editor installs another.
void SetDialogBackend(DialogBackend* backend);
DialogBackend* DesktopDialogs();
DialogBackend* BatchDialogs();

// The "Save As" dialog of a kind, asking before overwriting; on success path holds the chosen
// full path and the kind remembers it. False when cancelled.
bool ChooseSaveFile(char* path, DialogKind kind);
// The "Load" dialog of a kind.
bool ChooseOpenFile(char* path, DialogKind kind);
// A modal message box: caption, text, warning or information icon.
void ShowMessage(const char* caption, const char* text, bool warning);
SaveChangesAnswer AskSaveChanges(const char* question);
// name with its extension (the part from a '.' in its last five characters) replaced by that of
// pattern ("*.mp4"), or added when it has none; at most size bytes. What a save dialog does to
// the typed name when the user picks another file type.
void NameWithExtensionOf(const char* name, const char* pattern, char* out, size_t size);
// Empties the remembered names of every kind (done before the first dialog opens).
void ClearRememberedFileNames();
// The name a kind's next dialog starts with ("" for none), and a way to propose one.
const char* RememberedFileName(DialogKind kind);
void SetRememberedFileName(DialogKind kind, const char* path);

// Test backend: answers come from queues the test fills; every request and message is recorded.
struct ScriptedDialogs : DialogBackend {
  struct ShownMessage {
    std::string caption, text;
    bool warning;
  };
  std::deque<std::string> fileAnswers;  // a path, or "" for cancel; empty queue = cancel
  std::deque<SaveChangesAnswer> saveChangesAnswers;  // empty queue = cancel
  std::vector<FileDialogRequest> requests;
  std::vector<std::string> requestStartNames;
  std::vector<ShownMessage> messages;
  std::vector<std::string> questions;

  bool ChooseFile(const FileDialogRequest& request, char* path) override;
  void Message(const char* caption, const char* text, bool warning) override;
  SaveChangesAnswer AskSaveChanges(const char* question) override;
};

// Test hook of the end-to-end tests, which drive the real program: when the environment names
// an answers file in kDialogAnswersVariable, the program's dialogs are answered from that file
// instead of the desktop's. The file must start with the line kDialogAnswersHeader, so a stray
// variable cannot select it; each further line is one answer in order: "file PATH" (a file
// dialog picks PATH), "cancel" (a file dialog is cancelled), "save", "discard" or "keep" (the
// question before discarding changes: save, discard, cancel). Blank lines and lines starting with
// '#' are skipped. Messages go to stderr as "dialog: CAPTION: TEXT".
constexpr const char* kDialogAnswersVariable = "TAVOKA_TEST_DIALOG_ANSWERS";
constexpr const char* kDialogAnswersHeader = "tavoka test dialog answers";
// Fills dialogs from the answers file at path. False with a one-line message in error when the
// file cannot be read, lacks the header line or holds a line that is not an answer.
bool ReadDialogAnswers(const char* path, ScriptedDialogs* dialogs, char* error, int errorSize);
// The backend of the hook: a ScriptedDialogs whose messages are also printed to stderr.
struct AnswerFileDialogs : ScriptedDialogs {
  void Message(const char* caption, const char* text, bool warning) override;
};
