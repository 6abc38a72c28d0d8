// The main window: the conversion list, the profile box with its drop-down list, the parameter
// panel, the preview panel and the buttons that start and control a batch.  The window holds no
// rules of its own: it sets its controls up and forwards to the workspace's logic
// (TConversionList, TProfileList, TParameterPanel, the settings store).
#pragma once

#include <QCoreApplication>
#include <QImage>
#include <QMainWindow>
#include <array>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "gui/PreviewPanel.h"
#include "gui/UserDialogs.h"
#include "player/FFPlay.h"
#include "services/component/FFmpegVCL.h"
#include "skin/Artwork.h"
#include "skin/SkinManager.h"
#include "windows/WinProgress.h"
#include "workspace/BatchRunner.h"
#include "workspace/ConversionList.h"
#include "workspace/FormatCatalogue.h"
#include "workspace/GlobalUnit.h"
#include "workspace/PreviewState.h"
#include "workspace/SettingsStore.h"
#include "workspace/session/BatchSession.h"

class QAction;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QPushButton;
class QSlider;
class QToolButton;
class TFilesListView;
class TParameterPanelView;
class TProfileListBox;
class TProfilePicker;
class TQueueWriter;
class TSourceReader;
class TUpdateCheck;
class TVideoSurface;
class TfrmProgress;
class TfrmShutDown;
class TfrmTrim;
class TfrmFileInfo;

class TfrmMain : public QMainWindow {
  Q_DECLARE_TR_FUNCTIONS(TfrmMain)

 public:
  // `dialogs` answers every message box and dialog of the window (nullptr: the desktop's).
  explicit TfrmMain(IUserDialogs *dialogs = nullptr);
  ~TfrmMain() override;

  // For the windows the main window opens.
  const TGlobalObject &Global() const { return *FGlobal; }
  const TSkinManager &Skin() const { return FSkin; }
  IUserDialogs &Dialogs() { return FDialogs; }
  TConversionList &Files() { return FFiles; }
  TFFmpegVCL &Encoder() { return CCAVC; }

  // Rebuilds the profile list (after the profile settings dialog saved) and saves its state.
  void BuildProfileList();
  void SaveProfileListState();

  // Adds files as Add does after its dialog (dropped files and folders come here expanded): the
  // rows appear in order, reading (the first slice at once, the rest a slice per turn of the
  // event loop), and get their lengths as the files' probes end on a worker thread; a file the
  // engine cannot open leaves the list again.
  void AddFiles(const std::vector<std::string> &paths);
  // Adds files and folders as a drop on the list adds them (a folder adds the media files inside
  // it, found on a worker thread); the files named on the program's command line come here too.
  void AddPaths(const std::vector<std::string> &paths);
  // Whether files are still being added (a folder walked or a file probed).
  bool AddingFiles() const;
  // Stops adding, as Escape in the list does: a folder's walk ends, the rows still reading leave.
  void CancelAdding();
  // Shows the rows again after their texts or check boxes changed.
  void RefreshRows();
  void RefreshRow(int row);

  // Stops the preview and shows the panel stopped: before an editor opens (only one player may
  // play at a time; this window stays, so the player may end on its own) and before Start.
  void StopPreview(TCloseWait wait = TCloseWait::Stopped);
  // The batch, which the progress window watches too; running from Start until its end.
  TBatchSession &Session() { return *FSession; }
  bool BatchRunning() const { return FSession && FSession->Active(); }
  // What the progress window reads from this window.
  TProgressSources ProgressSources() { return {&FDialogs, FGlobal.get(), &AdList, &NewVersion}; }
  // What to do after the batch's last file (the progress window's two boxes).
  void SetAfterBatch(TAfterBatch after);
  // Shows the count-down before the computer is shut down (the batch's last file asked for it).
  void StartShutDownCountdown();
  // Closes the window for a signal from outside (SIGTERM, SIGINT, logout) as a person's close
  // would, without the question: a running batch stops, the file being written is set aside as
  // "NAME.part", and a count-down to the shut-down ends without one.
  void CloseOnSignal();

  // Menus.
  QMenu *mnuFile, *mnuEdit, *mnuTools, *mnuSkin, *mnuRelated, *mnuHelp, *pmFiles;
  QAction *mnuAdd, *mnuRemove, *mnuClear, *mnuStart, *mnuSettings, *mnuExit;
  QAction *mnuCrop, *mnuTrim, *mnuWaterMark, *mnuCheckAll, *mnuUncheckAll, *mnuReverseCheck,
      *mnuCheck, *mnuUncheck;
  QAction *mnuPreference;
  std::array<QAction *, TSkinManager::ThemeCount> mnuSkinItems;
  QAction *mnuHelpItem, *mnuWebSite, *mnuSupport, *mnuAbout;
  QAction *pmCrop, *pmTrim, *pmWaterMark, *pmAdd, *pmRemove, *pmClear, *pmStart, *pmVideoInfo;
  // A finished row's file: played in the desktop's player, shown in its folder.
  QAction *pmPlay, *pmShowInFolder;

  // Toolbar; the hidden buttons are kept in step with the progress window.
  QPushButton *btnAdd, *btnRemove, *btnClear, *btnEdit, *btnStart, *btnExit;
  QPushButton *btnSettings, *btnStop, *btnPause, *btnResume;

  TFilesListView *lvFiles;

  // Preview panel: the parts of Preview, under the names the window has always given them.
  TVideoSurface *pnlPreview;
  QSlider *tbPosition, *tbVolume;
  QLabel *lblPosition, *lblDuration;
  QPushButton *btnPlay, *btnPreviewPause, *btnPreviewStop, *btnSnapshot;
  QCheckBox *ckMute;

  // Output format group.
  QGroupBox *grpOutput;
  QLineEdit *cmbFormat;
  QToolButton *btnFormatDrop;
  TProfileListBox *lbFormat;
  TProfilePicker *ProfilePicker = nullptr;  // the box, its button and its list, as one
  QPushButton *btnDefault, *btnOpen, *btnBrows, *btnStart2;
  QLineEdit *edtOutPutDir;

  // Parameter panel.
  TParameterPanelView *ParameterPanel = nullptr;
  QGroupBox *grpVideo, *grpAudio;
  QComboBox *cmbVideoSize, *cmbVideoEncoder, *cmbVideoBitRate, *cmbFrameRate, *cmbZoom;
  QComboBox *cmbSamplerate, *cmbAudioBitRate, *cmbAudioEncoder, *cmbChannel, *cmbVolume;

  // Hidden: the legacy format box and the log list (library load failures).
  QComboBox *cmbOutPutFormat;
  QListWidget *lstLog;

  // State besides the controls.
  std::string CurrentFormatCode;
  std::string CurrentFormatName;
  std::vector<int> RowOfTask;  // the conversion-list row of every task of the running batch
  bool SkipExitPrompt = false;
  // From the update check: the version the product's site offers, and the notices the progress
  // window shows (empty until the check has finished).
  std::string NewVersion;
  std::vector<TAdInfo> AdList;
  bool PreviewStopped = true, PreviewPaused = false, PlayAfterAdd = false;
  int64_t PreviewDuration = 0;
  // The preview panel, made with the window (CreatePreviewPanel places it), and its player,
  // drawing into pnlPreview.
  TPreviewPanel *PreviewPanel = new TPreviewPanel(this, PreviewParts());
  TFFPlayer &FFPlayer = PreviewPanel->FFPlayer;
  // The progress window, made at the first Start.
  std::unique_ptr<TfrmProgress> frmProgress;
  // The count-down before a batch shuts the computer down, while it runs; and its length.
  std::unique_ptr<TfrmShutDown> frmShutDown;
  int ShutDownSeconds = 60;

 protected:
  void showEvent(QShowEvent *event) override;
  void resizeEvent(QResizeEvent *event) override;
  void closeEvent(QCloseEvent *event) override;
  bool eventFilter(QObject *watched, QEvent *event) override;

 private:
  // Creation.
  void CreateMenus();
  QWidget *CreateToolbar();
  static TPreviewParts PreviewParts();
  QWidget *CreatePreviewPanel();
  QGroupBox *CreateOutputGroup();
  void CreateParameterPanel();
  void CreateControls();
  void ConnectHandlers();
  void ApplyTheme();
  template <class Sender, class Signal>
  void On(Sender *sender, Signal signal, void (TfrmMain::*handler)());

  // Window handlers.
  void FormShow();
  void StartUpdateCheck();
  // The place, size and column widths kept from the last run, and keeping them for the next.
  void RestorePlacement();
  void SavePlacement();
  // The preview picture grows with the window.
  void FitPreviewPicture();
  bool FormCloseQuery();
  void ApplicationException(std::exception_ptr error);

  // Menus and toolbar.
  void btnAddClick();
  void btnRemoveClick();
  void btnClearClick();
  void btnEditClick();
  void btnStartClick();
  std::vector<TBatchRow> BatchRows();
  void btnExitClick();
  void btnSettingsClick();
  void btnStopClick();
  void btnPauseClick();
  void btnResumeClick();
  void mnuEditPopup();
  void pmFilesPopup();
  void mnuCropClick();
  void mnuTrimClick();
  void mnuWaterMarkClick();
  void mnuVideoInfoClick();
  void pmPlayClick();
  void pmShowInFolderClick();
  // The file the selected row's last conversion wrote; empty when the row has none.
  std::filesystem::path SelectedWrittenFile();
  // The same when the file is still there; otherwise empty, after the user was told.
  std::filesystem::path WrittenFileAtHand();
  // Stops the preview and returns the row the editors open: the selected one, or the first
  // (selected then) when none is.
  int EditorRow();
  void mnuCheckAllClick();
  void mnuUncheckAllClick();
  void mnuReverseCheckClick();
  void mnuCheckClick();
  void mnuUncheckClick();
  void mnuPreferenceClick();
  void mnuSkinPopup();
  void mnuSkinClick(int index);
  void mnuHelpClick();
  void mnuWebSiteClick();
  void mnuSupportClick();
  void mnuAboutClick();

  // Conversion list and output folder.
  void lvFilesMouseDown(const QPoint &globalPos);
  void lvFilesDblClick();
  void lvFilesCheckClick(int row);
  void lvFilesDragDrop(const QStringList &paths);
  // Gives the next files waiting in FToAdmit their rows (a slice per turn of the event loop).
  void AdmitSlice();
  void FilesWalked(const std::vector<std::string> &files);
  void FileProbed(int id, const std::optional<int64_t> &duration);
  // Shows an editor on `row` modally; the rows that came meanwhile join the list afterwards.
  void ShowEditor(QDialog &editor, int row);
  // The list's pointer shows that files are being read while they are.
  void ShowAdding();
  void btnOpenClick();
  void btnBrowsClick();
  void edtOutPutDirChange();
  // The Destination column as Start would name the files now (profile and output folder).
  void ShowDestinations();
  void UpdateListButtons();

  // Preview panel.
  void btnPlayClick();
  void btnPreviewPauseClick();
  void btnPreviewStopClick();
  void btnSnapshotClick();
  void tbVolumeChange();
  void tbVolumeMouseUp();
  void ckMuteClick();
  void FFPlayerFileOpen(int64_t duration, int frameWidth, int frameHeight, int &screenWidth,
                        int &screenHeight);
  void FFPlayerPosition(int64_t pts);
  void FFPlayerState(TPlayState state);
  void PlayRow(int row);
  void ShowPreviewMode(TPreviewMode mode);
  // The bar, the buttons, the labels and the flags of a preview that is not running.
  void ShowPreviewStopped();

  // Profile box and its list.
  void cmbFormatChange();
  void cmbFormatClick();
  void btnFormatDropClick();
  void lbFormatClick();
  void lbFormatPick(int row);
  void SetProfileBoxText(const QString &text);
  void ShowProfileList();
  void HideProfileList();
  void PlaceProfileList(int height);

  // Parameter panel.
  void LoadPanel();
  void btnDefaultClick();
  void ShowStreamCopy(const QString &hint);

  // The batch session's signals.
  void ConnectSession();
  void SessionStateChanged(TBatchState state);
  void RowProgress(const TRowProgress &progress);
  void RowEnded(const TRowResult &result);
  void BatchEnded(const TBatchSummary &summary);
  // The caption with the program's version, and with the batch's percentage before it while a
  // batch runs.
  QString UsualTitle() const;
  void ShowBatchPercent(int percent);

  // The conversion list kept for the next start: restored as the window first shows, saved
  // after every change of the rows (coalesced to one save per turn of the event loop, written on
  // the writer's thread).
  void KeepQueue();
  void RestoreQueue();
  void ScheduleQueueSave();
  void SaveQueue();

  // The settings store, the format INI and the questions of the logic, opened per use.
  TSettingsStore Store() const;
  TFormatCatalogue Catalogue() const;
  int FormatCodeNumber() const;

  std::unique_ptr<IUserDialogs> FOwnDialogs;
  IUserDialogs &FDialogs;
  std::unique_ptr<TGlobalObject> FGlobal;
  std::unique_ptr<TDialogQuestions> FQuestions;
  std::unique_ptr<TUpdateCheck> FUpdateCheck;
  TSkinManager FSkin;
  TFFmpegVCL CCAVC;
  TConversionList FFiles;
  // Walks dropped folders and probes added files off the window's thread (declared after FFiles:
  // it goes first, and no result reaches the rows after that).
  std::unique_ptr<TSourceReader> FReader;
  // Files given and not yet in the list, and the names refused among those that are; whether
  // the next slice is on its way.
  std::deque<std::string> FToAdmit;
  std::string FRefusals;
  bool FAdmitScheduled = false;
  // An editor is up and writes into its row: the rows stay where they are, and what the reader
  // finds meanwhile waits here until the editor closes.
  bool FEditorShown = false;
  std::vector<std::pair<int, std::optional<int64_t>>> FProbedMeanwhile;
  std::unique_ptr<TfrmFileInfo> frmFileInfo;  // made on first use
  // The batch: its runner and what it uses for as long as it runs.
  std::unique_ptr<TBatchSession> FSession;
  TAfterBatch FAfterBatch;
  std::vector<std::pair<QPushButton *, TToolGlyph>> FGlyphButtons;
  std::unique_ptr<TfrmTrim> frmTrim;  // made on first use, shown again for every trim
  bool FShown = false;
  // Nothing is saved before the list kept from the last run is back: a window that never shows
  // must not write an empty list over it.
  bool FQueueRestored = false, FQueueSaveScheduled = false;
  std::unique_ptr<TQueueWriter> FQueueWriter;  // last: it writes what is pending as it goes
};
