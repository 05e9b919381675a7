#include <cstdlib>
#include <string>
#include <vector>

#include "data/dictionary.h"
#include "data/globals.h"
#include "maintenance/maintenance.h"
#include "platform/classes/ini_manager.h"
#include "platform/classes/window_controller.h"
#include "platform/core/strings.h"
#include "platform/runtime/events.h"
#include "platform/runtime/message.h"
#include "platform/store/backup_set.h"
#include "platform/store/file.h"
#include "platform/ui/binding.h"
#include "platform/ui/ui.h"

namespace qb {

std::string driveFolder(char letter) {
  pf::IniManager table;
  table.init(DriveTableFile);
  if (!table.hasSection("Drives")) {
    // Made once, so the user finds the letters to fill in.
    const char* home = std::getenv("HOME");
    table.update("Drives", "C", home ? home : "");
    for (char l = 'D'; l <= 'H'; ++l) table.update("Drives", std::string(1, l), "");
  }
  std::string folder = pf::trim(table.fetch("Drives", std::string(1, letter)));
  table.kill();
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  return folder;
}

namespace {

struct BackupFile {
  const pf::FileDesc& (*desc)();
  std::uint8_t progress;
};
const BackupFile BackupFiles[] = {{WSitesDesc, 45}, {DefaultsDesc, 60}, {AccessDesc, 75}, {CategoryDesc, 100}};

class BackupWindow : public pf::WindowController {
 public:
  BackupWindow() : WindowController("Win_BackupData") {
    InstanceMarker = &GLO_Win_BackupDataThread;
    win().bind("LOC:DRIVELETTER", pf::use(LOC_DRIVELETTER));
    win().bind("FULLDIRECTORYNAME", pf::use(FULLDIRECTORYNAME));
    win().bind("LOC:PROGRESS", pf::use(progress_));
  }

  std::uint8_t Setup() override {
    if (std::uint8_t rc = SetupBegin()) return rc;
    FIRSTFIELD = feq("?LOC:DRIVELETTER:PROMPT");
    WindowAddButton(feq("?CLOSE"), pf::Response::Cancelled);
    done_ = 0;
    OpenWindow();
    SetupEnd();
    return 0;
  }

  std::uint8_t RunEventLoop() override {
    if (!GLO_DefaultBupDrive.blank()) {
      LOC_DRIVELETTER = GLO_DefaultBupDrive.str();
      win().display();
    }
    return WindowController::RunEventLoop();
  }

  std::uint8_t TearDown() override {
    if (std::uint8_t rc = WindowController::TearDown()) return rc;
    if (!done_) pf::message("No data files have been backed up!", "Close selected!", pf::Icon::Exclamation);
    return TearDownEnd();
  }

  std::uint8_t OnSelected() override {
    if (win().field() == feq("?STARTBUP") && !focusChecks()) return pf::Answer::Handled;
    return WindowController::OnSelected();
  }

  std::uint8_t OnAccepted() override {
    int c = win().field();
    for (char letter : {'D', 'E', 'F', 'G', 'H'}) {
      if (c == feq((std::string("?") + letter + "BUT").c_str())) {
        LOC_DRIVELETTER = std::string(1, letter);
        win().select(feq("?STARTBUP"));
        win().display();
      }
    }
    // A press whose focus checks stopped (a first C:, a bad letter) copies nothing.
    if (c == feq("?STARTBUP")) {
      if (!prepared_) return pf::Answer::Handled;
      startBackup();
    }
    std::uint8_t rc = WindowController::OnAccepted();
    if (c == feq("?HELPBUT")) {
      UpdateComponents();
      if (Help) Help->HelpKeywordLookup("Backup", "Not found", "Help Topic");
    }
    return rc;
  }

 private:
  int feq(const char* name) { return win().feq(name); }

  // False when the focus goes back to the drive letter.
  bool focusChecks() {
    prepared_ = false;
    std::string letter = LOC_DRIVELETTER.str();
    char l = letter.empty() ? ' ' : letter[0];
    if (l == 'C' && !warnedC_) {
      pf::message(
          "The program and its data are normally already on the C: drive.| If on C: it is recommended to backup "
          "to some other drive.|| USB flash or external hard drives are a good choice.||You can still backup to "
          "C: by clicking on the [Start] button.",
          "Are you sure?", pf::Icon::Question);
      warnedC_ = 1;
      win().select(feq("?LOC:DRIVELETTER"));
      return true;
    }
    if (l != 'C' && (l < 'A' || l > 'Z')) {
      pf::message("The Drive Letter must be in the range of [ A - Z ].", "No Destination Drive!", pf::Icon::RedCross);
      win().select(feq("?LOC:DRIVELETTER"));
      return false;
    }
    FULLDIRECTORYNAME = std::string(1, l) + ":\\SitesBup";
    std::string root = driveFolder(l);
    target_ = root.empty() ? std::string() : (root == "/" ? "" : root) + "/SitesBup";
    if (!target_.empty() && !pf::fileExists(target_)) pf::makeDirectory(target_);
    prepared_ = true;
    win().display(feq("?FULLDIRECTORYNAME"));
    return true;
  }

  void setButtons(bool enabled) {
    for (const char* b : {"?STARTBUP", "?CLOSE", "?HELPBUT"})
      enabled ? win().enable(feq(b)) : win().disable(feq(b));
  }

  // The copies go in as one set: a failure anywhere leaves the last backup as it was.
  // Only a folder takes them; whatever else bears the name is never written over.
  void startBackup() {
    setButtons(false);
    std::vector<const pf::FileDesc*> members;
    for (const BackupFile& f : BackupFiles) members.push_back(&f.desc());
    pf::BackupSet set(members);
    if (target_.empty() || set.begin(target_) != 0) {
      copyError();
      return;
    }
    for (const BackupFile& f : BackupFiles) {
      fileName_ = f.desc().diskName;
      if (pf::fileExists(fileName_) && set.add(f.desc()) != 0) {
        copyError();
        return;
      }
      progress_ = f.progress;
      win().display();
    }
    if (set.commit() != 0) {
      copyError();
      return;
    }
    done_ = 1;
    LOC_DRIVELETTER.clear();
    fileName_.clear();
    win().display();
    if (pf::message("The backup process is complete.||   Create another backup?", "Data Backup...",
                    pf::Icon::Question, "&Yes|&No", 1) == 1) {
      win().select(feq("?LOC:DRIVELETTER"));
      setButtons(true);
      progress_ = 0;
      win().display();
    } else {
      win().post(pf::EVENT::CloseWindow);
    }
  }

  void copyError() {
    pf::message(
        "Some possible reasons...|     - Is drive the letter entered correct?|     - Is the backup media in the "
        "selected drive?|     - Is the disk full?||     Please check then retry.",
        "Error...", pf::Icon::RedCross);
    done_ = 0;
    setButtons(true);
    progress_ = 0;
    win().display();
  }

  pf::String<1> LOC_DRIVELETTER;
  pf::CString<255> FULLDIRECTORYNAME;
  std::uint8_t progress_ = 0;
  std::uint8_t warnedC_ = 0;
  std::uint8_t done_ = 0;
  std::string fileName_;
  bool prepared_ = false;
  std::string target_;   // the folder on this machine that FULLDIRECTORYNAME stands for
};

}  // namespace

void Win_BackupData() {
  BackupWindow w;
  pf::GLO_Response() = w.Execute();
}

}  // namespace qb
