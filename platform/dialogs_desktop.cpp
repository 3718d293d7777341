// The desktop dialogs: GTK3's file chooser and message boxes, run in process and initialised on
// first use; the window layer's message boxes where GTK cannot start (no display for it, say).
#include <gtk/gtk.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "platform/dialogs.h"
#include "platform/platform.h"

namespace {

bool gtkReady = false;
bool gtkFailed = false;

bool EnsureGtk() {
  if (gtkReady) return true;
  if (gtkFailed) return false;
  gtkReady = gtk_init_check(nullptr, nullptr);
  gtkFailed = !gtkReady;
  if (gtkFailed) std::fprintf(stderr, "tavoka: the desktop's dialogs cannot start (GTK)\n");
  return gtkReady;
}

// Lets GTK unmap a closed dialog before the editor draws again.
void FlushGtk() {
  while (gtk_events_pending()) gtk_main_iteration();
}

// The response of a dialog that a quit signal closed: the session is ending and nobody answers.
constexpr int kResponseQuitSignal = 1000;

gboolean CloseOnQuitSignal(gpointer dialog) {
  if (QuitSignalArrived()) gtk_dialog_response(GTK_DIALOG(dialog), kResponseQuitSignal);
  return G_SOURCE_CONTINUE;
}

// Runs a modal dialog to its answer, keeps it above the editor's window, and closes it when a
// quit signal arrives; the dialog is destroyed afterwards.
int RunDialog(GtkWidget* dialog) {
  gtk_window_set_keep_above(GTK_WINDOW(dialog), TRUE);
  const guint watch = g_timeout_add(100, CloseOnQuitSignal, dialog);
  const int response = gtk_dialog_run(GTK_DIALOG(dialog));
  g_source_remove(watch);
  gtk_widget_destroy(dialog);
  FlushGtk();
  return response;
}

// The chooser's answer, taken when it is given: RunDialog destroys the chooser afterwards.
void KeepChosenFile(GtkDialog* dialog, int response, gpointer chosen) {
  if (response != GTK_RESPONSE_ACCEPT) return;
  *static_cast<gchar**>(chosen) = gtk_file_chooser_get_filename(GTK_FILE_CHOOSER(dialog));
}

constexpr const char* kFilterPattern = "tavoka-pattern";

void AddFilter(GtkFileChooser* chooser, const char* label, const char* pattern) {
  GtkFileFilter* filter = gtk_file_filter_new();
  gtk_file_filter_set_name(filter, label);
  gtk_file_filter_add_pattern(filter, pattern);
  g_object_set_data(G_OBJECT(filter), kFilterPattern, const_cast<char*>(pattern));
  gtk_file_chooser_add_filter(chooser, filter);
}

// A save dialog's typed name follows the file type the user picks ("film.png" becomes
// "film.mp4"), so the type chosen is the type written.
void FollowFilter(GObject* object, GParamSpec*, gpointer) {
  GtkFileChooser* chooser = GTK_FILE_CHOOSER(object);
  GtkFileFilter* filter = gtk_file_chooser_get_filter(chooser);
  const char* pattern = filter != nullptr
                            ? static_cast<const char*>(g_object_get_data(G_OBJECT(filter), kFilterPattern))
                            : nullptr;
  if (pattern == nullptr || std::strcmp(pattern, "*") == 0) return;
  gchar* name = gtk_file_chooser_get_current_name(chooser);
  if (name == nullptr) return;
  char renamed[kDialogPathSize];
  NameWithExtensionOf(name, pattern, renamed, sizeof renamed);
  if (name[0] != '\0' && std::strcmp(name, renamed) != 0) {
    gtk_file_chooser_set_current_name(chooser, renamed);
  }
  g_free(name);
}

struct DesktopBackend : DialogBackend {
  bool ChooseFile(const FileDialogRequest& request, char* path) override {
    if (!EnsureGtk()) return false;
    GtkFileChooserAction action =
        request.save ? GTK_FILE_CHOOSER_ACTION_SAVE : GTK_FILE_CHOOSER_ACTION_OPEN;
    GtkWidget* dialog = gtk_file_chooser_dialog_new(
        request.title, nullptr, action, "_Cancel", GTK_RESPONSE_CANCEL,
        request.save ? "_Save" : "_Open", GTK_RESPONSE_ACCEPT, nullptr);
    GtkFileChooser* chooser = GTK_FILE_CHOOSER(dialog);
    for (int i = 0; i < request.filterCount; ++i) {
      AddFilter(chooser, request.filters[i].label, request.filters[i].pattern);
    }
    AddFilter(chooser, "All Files (*.*)", "*");
    if (request.save && request.filterCount > 1) {
      g_signal_connect(dialog, "notify::filter", G_CALLBACK(FollowFilter), nullptr);
    }
    gtk_file_chooser_set_do_overwrite_confirmation(chooser, request.save);
    gtk_file_chooser_set_local_only(chooser, TRUE);
    if (request.startName[0] != '\0') {
      if (request.save) {
        gchar* folder = g_path_get_dirname(request.startName);
        gchar* base = g_path_get_basename(request.startName);
        gtk_file_chooser_set_current_folder(chooser, folder);
        gtk_file_chooser_set_current_name(chooser, base);
        g_free(folder);
        g_free(base);
      } else {
        gtk_file_chooser_set_filename(chooser, request.startName);
      }
    }
    gchar* chosen = nullptr;
    g_signal_connect(dialog, "response", G_CALLBACK(KeepChosenFile), &chosen);
    bool ok = false;
    if (RunDialog(dialog) == GTK_RESPONSE_ACCEPT && chosen != nullptr) {
      if (std::strlen(chosen) < kDialogPathSize) {
        std::snprintf(path, kDialogPathSize, "%s", chosen);
        ok = true;
      } else {
        Message("Error", "The chosen path is too long.", true);
      }
    }
    g_free(chosen);
    return ok;
  }

  void Message(const char* caption, const char* text, bool warning) override {
    if (!EnsureGtk()) {
      ShowMessageBox(caption, text, warning);
      return;
    }
    GtkWidget* dialog = gtk_message_dialog_new(nullptr, GTK_DIALOG_MODAL,
                                               warning ? GTK_MESSAGE_WARNING : GTK_MESSAGE_INFO,
                                               GTK_BUTTONS_OK, "%s", text);
    gtk_window_set_title(GTK_WINDOW(dialog), caption);
    RunDialog(dialog);
  }

  // Save, Discard or Cancel; closing the box is Cancel. kUnavailable when neither GTK nor the
  // window layer can show the question, or a quit signal closed it.
  SaveChangesAnswer AskSaveChanges(const char* question) override {
    int chosen = -1;
    if (EnsureGtk()) {
      GtkWidget* dialog = gtk_message_dialog_new(nullptr, GTK_DIALOG_MODAL, GTK_MESSAGE_WARNING,
                                                 GTK_BUTTONS_NONE, "%s", question);
      gtk_window_set_title(GTK_WINDOW(dialog), "Tavoka");
      gtk_dialog_add_buttons(GTK_DIALOG(dialog), "_Save", 0, "_Discard", 1, "_Cancel", 2, nullptr);
      gtk_dialog_set_default_response(GTK_DIALOG(dialog), 0);
      const int response = RunDialog(dialog);
      chosen = response == kResponseQuitSignal ? -1 : response >= 0 && response <= 2 ? response : 2;
    } else {
      const char* buttons[] = {"Save", "Discard", "Cancel"};
      chosen = ShowQuestionBox("Tavoka", question, buttons, 3);
    }
    switch (chosen) {
      case 0: return SaveChangesAnswer::kSave;
      case 1: return SaveChangesAnswer::kDiscard;
      case 2: return SaveChangesAnswer::kCancel;
      default: return SaveChangesAnswer::kUnavailable;
    }
  }
};

DesktopBackend desktopBackend;

}  // namespace

DialogBackend* DesktopDialogs() { return &desktopBackend; }
