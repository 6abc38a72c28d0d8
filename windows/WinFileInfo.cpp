#include "windows/WinFileInfo.h"

#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <initializer_list>

#include "gui/Translations.h"
#include "gui/WindowSize.h"
#include "platform/Paths.h"
#include "workspace/FileDetails.h"

namespace {

constexpr int WindowWidth = 420, WindowHeight = 460;
constexpr int SourceNameWidth = 270;
constexpr int CaptionWidth = 90;

QLineEdit *Field(QWidget *parent, const char *name) {
  auto *edit = new QLineEdit(parent);
  edit->setObjectName(name);
  edit->setReadOnly(true);
  // The pale yellow of tool tips marks the fields as information, not input.
  edit->setStyleSheet("QLineEdit { background: rgb(255, 255, 225); }");
  return edit;
}

QGroupBox *Group(QWidget *parent, const char *caption,
                 std::initializer_list<std::pair<const char *, QLineEdit *>> rows) {
  auto *group = new QGroupBox(TfrmFileInfo::tr(caption), parent);
  auto *form = new QFormLayout(group);
  form->setLabelAlignment(Qt::AlignRight | Qt::AlignVCenter);
  form->setHorizontalSpacing(10);
  form->setVerticalSpacing(6);
  form->setContentsMargins(14, 10, 14, 10);
  for (const auto &[label, field] : rows) {
    // One width for the captions of both groups, so that their fields line up.
    auto *caption = new QLabel(TfrmFileInfo::tr(label), group);
    caption->setMinimumWidth(ScaledToFont(*caption, CaptionWidth));
    caption->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    field->setParent(group);
    form->addRow(caption, field);
  }
  return group;
}

void SetField(QLineEdit *field, const std::string &text) {
  field->setText(QString::fromStdString(text));
  field->setCursorPosition(0);
}

}  // namespace

TfrmFileInfo::TfrmFileInfo(QWidget *owner, const TSkinManager &mainSkin)
    : TSkinnedDialog(owner, mainSkin) {
  setObjectName("frmFileInfo");
  setWindowTitle(tr("File information"));
  lblSourceName = new QLabel(this);
  lblSourceName->setObjectName("lblSourceName");
  // At least its designed width, and all the row has: a name of 45 characters is shown whole,
  // in the desktop's font too.
  lblSourceName->setMinimumWidth(ScaledToFont(*lblSourceName, SourceNameWidth));
  lblFileLength = new QLabel(this);
  lblFileLength->setObjectName("lblFileLength");
  auto *file = new QFormLayout;
  file->setHorizontalSpacing(10);
  file->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
  file->addRow(tr("File Name:"), lblSourceName);
  file->addRow(tr("Duration:"), lblFileLength);

  edtFormat = Field(this, "edtFormat");
  edtResloution = Field(this, "edtResloution");
  edtBitRate = Field(this, "edtBitRate");
  edtFrameRate = Field(this, "edtFrameRate");
  edtTotalFrame = Field(this, "edtTotalFrame");
  edtAudioForamt = Field(this, "edtAudioForamt");
  edtAudioBitRate = Field(this, "edtAudioBitRate");
  edtSampleRate = Field(this, "edtSampleRate");
  edtChannel = Field(this, "edtChannel");
  QGroupBox *video = Group(this, QT_TR_NOOP("Video "),
                           {{QT_TR_NOOP("Format:"), edtFormat},
                            {QT_TR_NOOP("Resolution:"), edtResloution},
                            {QT_TR_NOOP("Bit Rate:"), edtBitRate},
                            {QT_TR_NOOP("Frame Rate:"), edtFrameRate},
                            {QT_TR_NOOP("Total Frame:"), edtTotalFrame}});
  QGroupBox *audio = Group(this, QT_TR_NOOP("Audio"),
                           {{QT_TR_NOOP("Format:"), edtAudioForamt},
                            {QT_TR_NOOP("Bit Rate:"), edtAudioBitRate},
                            {QT_TR_NOOP("Sample Rate:"), edtSampleRate},
                            {QT_TR_NOOP("Channel:"), edtChannel}});

  btn1 = new QPushButton(tr("&Ok"), this);
  btn1->setObjectName("btn1");
  btn1->setDefault(true);
  btn1->setMinimumWidth(84);
  connect(btn1, &QPushButton::clicked, this, &QDialog::accept);
  auto *buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(btn1);

  auto *all = new QVBoxLayout(this);
  all->setContentsMargins(16, 14, 16, 14);
  all->setSpacing(10);
  all->addLayout(file);
  all->addWidget(video);
  all->addWidget(audio);
  all->addStretch();
  all->addLayout(buttons);
  // Wider with the desktop's font, for the file's name; the fields need no more height than
  // their lines take.
  setMaximumSize(SizeThatFits(*this, {ScaledToFont(*this, WindowWidth), WindowHeight}));
}

void TfrmFileInfo::showEvent(QShowEvent *event) {
  TSkinnedDialog::showEvent(event);
  FormShow();
}

void TfrmFileInfo::hideEvent(QHideEvent *event) {
  // The file is not kept open behind a closed window.
  CCAVC.ClearTasks();
  CCAVC.Probe().CloseFile();
  TSkinnedDialog::hideEvent(event);
}

void TfrmFileInfo::FormShow() {
  resize(maximumSize());
  // Nothing of an earlier file stays: a field this file has no value for is empty.
  ShowDetails(TFileDetails{});
  if (FSourceFile.empty() || !CCAVC.LoadAVLib(paths::LibAVFolder().string())) return;
  CCAVC.ClearTasks();
  if (const auto details = ReadFileDetails(CCAVC.Probe(), FSourceFile)) ShowDetails(*details);
}

void TfrmFileInfo::ShowDetails(const TFileDetails &details) {
  lblSourceName->setText(QString::fromStdString(details.SourceName));
  lblSourceName->setToolTip(details.SourceName.empty() ? QString()
                                                       : QString::fromStdString(FSourceFile));
  lblFileLength->setText(ShownText(details.Length));
  for (const auto &[field, text] :
       {std::pair{edtFormat, &details.Format}, std::pair{edtResloution, &details.Resolution},
        std::pair{edtBitRate, &details.BitRate}, std::pair{edtFrameRate, &details.FrameRate},
        std::pair{edtTotalFrame, &details.TotalFrames},
        std::pair{edtAudioForamt, &details.AudioFormat},
        std::pair{edtAudioBitRate, &details.AudioBitRate},
        std::pair{edtSampleRate, &details.SampleRate}, std::pair{edtChannel, &details.Channels}})
    SetField(field, *text);
}
