#include "editors/windows/WinWaterMark.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include "editors/EditorTexts.h"
#include "editors/decoration/MarkText.h"
#include "gui/Application.h"
#include "gui/Translations.h"
#include "gui/UserDialogs.h"
#include "gui/VideoSurface.h"
#include "gui/WindowSize.h"
#include "skin/SpinEdit.h"
#include "skin/TrackBar.h"

namespace {

constexpr int WindowWidth = 786, WindowHeight = 605;
constexpr int PreviewWidth = 364, PreviewHeight = 236;

TPreviewParts WaterMarkPreview() {
  TPreviewParts parts;
  parts.Layout = TPreviewLayout::Editor;
  parts.Picture = QSize(PreviewWidth, PreviewHeight);
  parts.PlayName = "spdBtnPlay";
  parts.PauseName = "spdBtnPause";
  parts.TimesInRow = true;
  return parts;
}
constexpr int MinFontSize = decorationranges::FontSize.Min,
              MaxFontSize = decorationranges::FontSize.Max;
constexpr int LargestShownFont = 18;  // pixels: the text box keeps one line's height

// The colour list's colours (0x00BBGGRR, as the record keeps them).
const std::pair<const char *, uint32_t> StandardColors[] = {
    {QT_TRANSLATE_NOOP("TfrmWaterMark", "Black"), 0x000000},
    {QT_TRANSLATE_NOOP("TfrmWaterMark", "Maroon"), 0x000080},
    {QT_TRANSLATE_NOOP("TfrmWaterMark", "Green"), 0x008000},
    {QT_TRANSLATE_NOOP("TfrmWaterMark", "Olive"), 0x008080},
    {QT_TRANSLATE_NOOP("TfrmWaterMark", "Navy"), 0x800000},
    {QT_TRANSLATE_NOOP("TfrmWaterMark", "Purple"), 0x800080},
    {QT_TRANSLATE_NOOP("TfrmWaterMark", "Teal"), 0x808000},
    {QT_TRANSLATE_NOOP("TfrmWaterMark", "Gray"), 0x808080},
    {QT_TRANSLATE_NOOP("TfrmWaterMark", "Silver"), 0xC0C0C0},
    {QT_TRANSLATE_NOOP("TfrmWaterMark", "Red"), 0x0000FF},
    {QT_TRANSLATE_NOOP("TfrmWaterMark", "Lime"), 0x00FF00},
    {QT_TRANSLATE_NOOP("TfrmWaterMark", "Yellow"), 0x00FFFF},
    {QT_TRANSLATE_NOOP("TfrmWaterMark", "Blue"), 0xFF0000},
    {QT_TRANSLATE_NOOP("TfrmWaterMark", "Fuchsia"), 0xFF00FF},
    {QT_TRANSLATE_NOOP("TfrmWaterMark", "Aqua"), 0xFFFF00},
    {QT_TRANSLATE_NOOP("TfrmWaterMark", "White"), 0xFFFFFF}};

QColor ColorOf(uint32_t color) {
  return QColor(color & 0xFF, (color >> 8) & 0xFF, (color >> 16) & 0xFF);
}

QIcon Swatch(uint32_t color) {
  QPixmap pixmap(14, 14);
  pixmap.fill(ColorOf(color));
  QPainter(&pixmap).drawRect(0, 0, 13, 13);
  return QIcon(pixmap);
}

void AddColor(QComboBox *list, const QString &name, uint32_t color) {
  list->addItem(Swatch(color), name, QVariant::fromValue(color));
}

TTrackBar *Bar(QWidget *parent, const char *name, int minimum, int maximum) {
  auto *bar = new TTrackBar(parent);
  bar->setObjectName(name);
  bar->setRange(minimum, maximum);
  return bar;
}

QLineEdit *ValueBox(QWidget *parent, const char *name) {
  auto *box = new QLineEdit("0", parent);
  box->setObjectName(name);
  box->setReadOnly(true);
  box->setFixedWidth(ScaledToFont(*box, 40));  // "100" in the desktop's font
  return box;
}

// A bar with its box and an optional unit, in one row of a grid.
void AddBarRow(QGridLayout *grid, int row, const QString &caption, QWidget *bar, QWidget *box,
               const char *unit) {
  grid->addWidget(new QLabel(caption, bar->parentWidget()), row, 0);
  grid->addWidget(bar, row, 1);
  grid->addWidget(box, row, 2);
  if (unit) grid->addWidget(new QLabel(unit, bar->parentWidget()), row, 3);
}

}  // namespace

TfrmWaterMark::TfrmWaterMark(QWidget *owner, const TSkinManager &mainSkin, IUserDialogs &dialogs)
    : TEditorDialog(owner, mainSkin, WaterMarkPreview()), FDialogs(dialogs) {
  setObjectName("frmWaterMark");
  setWindowTitle(tr("Watermark"));
  lblPTS->setText(tr("Play Time"));
  lblLength->setText(tr("Length"));

  pgWaterMark = new QTabWidget(this);
  pgWaterMark->setObjectName("pgWaterMark");
  pgWaterMark->addTab(CreateTextPage(), tr("Add Text"));
  pgWaterMark->addTab(CreateImagePage(), tr("Add Image"));
  pgWaterMark->addTab(CreateEffectPage(), tr("Effect"));
  btnOk = NamedButton(this, "btnOk", tr("&Ok"));
  btnCancel = NamedButton(this, "btnCancel", tr("&Cancel"));
  btnOk->setDefault(true);

  auto *right = new QVBoxLayout;
  right->addWidget(CreatePreview());
  right->addStretch();
  auto *buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(btnOk);
  buttons->addWidget(btnCancel);
  right->addLayout(buttons);
  auto *all = new QHBoxLayout(this);
  all->addWidget(pgWaterMark, 1);
  all->addLayout(right);
  ReserveRoomForTimes();
  setFixedSize(SizeThatFits(*this, {WindowWidth, WindowHeight}));
  ConnectHandlers();
}

TfrmWaterMark::~TfrmWaterMark() {
  ReleasePlayer();
}

QWidget *TfrmWaterMark::CreateTextPage() {
  auto *page = new QWidget(this);
  page->setObjectName("tsAddText");
  cmbFont = new QComboBox(page);
  cmbFont->setObjectName("cmbFont");
  cmbFont->addItems(QFontDatabase::families());
  cmbFontSize = new QComboBox(page);
  cmbFontSize->setObjectName("cmbFontSize");
  cmbFontColor = new QComboBox(page);
  cmbFontColor->setObjectName("cmbFontColor");
  for (const auto &[name, color] : StandardColors) AddColor(cmbFontColor, tr(name), color);
  chkBold = new QCheckBox(tr("Bold"), page);
  chkItalic = new QCheckBox(tr("Italic"), page);
  chkUnderline = new QCheckBox(tr("Underline"), page);
  chkStrikeOut = new QCheckBox(tr("StrikeOut"), page);
  chkBold->setObjectName("chkBold");
  chkItalic->setObjectName("chkItalic");
  chkUnderline->setObjectName("chkUnderline");
  chkStrikeOut->setObjectName("chkStrikeOut");
  edtFont = new QLineEdit(page);
  edtFont->setObjectName("edtFont");
  edtFont->setFixedHeight(LargestShownFont + 12);
  trcTextHoriz =
      Bar(page, "trcTextHoriz", decorationranges::Position.Min, decorationranges::Position.Max);
  trcTextVert =
      Bar(page, "trcTextVert", decorationranges::Position.Min, decorationranges::Position.Max);
  edtTextHoriz = ValueBox(page, "edtTextHoriz");
  edtTextVert = ValueBox(page, "edtTextVert");
  btnClearText = NamedButton(page, "btnClearText", tr("Clear Text"));

  auto *grid = new QGridLayout(page);
  grid->addWidget(new QLabel(tr("Font:"), page), 0, 0);
  grid->addWidget(cmbFont, 0, 1, 1, 3);
  grid->addWidget(new QLabel(tr("Font Size:"), page), 1, 0);
  grid->addWidget(cmbFontSize, 1, 1);
  grid->addWidget(new QLabel(tr("Font Color:"), page), 2, 0);
  grid->addWidget(cmbFontColor, 2, 1);
  grid->addWidget(new QLabel(tr("Font Style:"), page), 3, 0);
  auto *styles = new QGridLayout;
  styles->addWidget(chkBold, 0, 0);
  styles->addWidget(chkItalic, 0, 1);
  styles->addWidget(chkUnderline, 1, 0);
  styles->addWidget(chkStrikeOut, 1, 1);
  grid->addLayout(styles, 3, 1, 1, 3);
  grid->addWidget(edtFont, 4, 0, 1, 4);
  AddBarRow(grid, 5, tr("Horizontal Position:"), trcTextHoriz, edtTextHoriz, "%");
  AddBarRow(grid, 6, tr("Vertical Position:"), trcTextVert, edtTextVert, "%");
  grid->addWidget(btnClearText, 7, 1, 1, 3, Qt::AlignRight);
  grid->setRowStretch(8, 1);
  grid->setColumnStretch(1, 1);
  return page;
}

QWidget *TfrmWaterMark::CreateImagePage() {
  auto *page = new QWidget(this);
  page->setObjectName("tsAddImage");
  edtAddImage = new QLineEdit(page);
  edtAddImage->setObjectName("edtAddImage");
  btnBrows = NamedButton(page, "btnBrows", tr("&Browse"));
  trcImageHoriz =
      Bar(page, "trcImageHoriz", decorationranges::Position.Min, decorationranges::Position.Max);
  trcImageVert =
      Bar(page, "trcImageVert", decorationranges::Position.Min, decorationranges::Position.Max);
  trcImageAlpha =
      Bar(page, "trcImageAlpha", decorationranges::Opacity.Min, decorationranges::Opacity.Max);
  edtImageHoriz = ValueBox(page, "edtImageHoriz");
  edtImageVert = ValueBox(page, "edtImageVert");
  edtImageAlpha = ValueBox(page, "edtImageAlpha");
  rbTransparent1 = new QRadioButton(tr("Transparent style 1"), page);
  rbTransparent1->setObjectName("rbTransparent1");
  rbTransparent2 = new QRadioButton(tr("Transparent style 2"), page);
  rbTransparent2->setObjectName("rbTransparent2");
  btnClearImage = NamedButton(page, "btnClearImage", tr("Clear Image"));

  auto *grid = new QGridLayout(page);
  grid->addWidget(new QLabel(tr("Image:"), page), 0, 0);
  auto *file = new QHBoxLayout;
  file->addWidget(edtAddImage, 1);
  file->addWidget(btnBrows);
  grid->addLayout(file, 0, 1, 1, 3);
  AddBarRow(grid, 1, tr("Horizontal Position:"), trcImageHoriz, edtImageHoriz, "%");
  AddBarRow(grid, 2, tr("Vertical Position:"), trcImageVert, edtImageVert, "%");
  AddBarRow(grid, 3, tr("Transparency:"), trcImageAlpha, edtImageAlpha, nullptr);
  grid->addWidget(rbTransparent1, 4, 1);
  grid->addWidget(rbTransparent2, 5, 1);
  grid->addWidget(btnClearImage, 6, 1, 1, 3, Qt::AlignRight);
  grid->setRowStretch(7, 1);
  grid->setColumnStretch(1, 1);
  return page;
}

QWidget *TfrmWaterMark::CreateEffectPage() {
  auto *page = new QWidget(this);
  page->setObjectName("tsEffect");
  const std::tuple<TTrackBar * TfrmWaterMark::*, TSpinEdit * TfrmWaterMark::*, const char *,
                   const char *, const char *, int, int>
      effects[] = {{&TfrmWaterMark::trcBrightness, &TfrmWaterMark::spedtBrightness, "trcBrightness",
                    "spedtBrightness", QT_TR_NOOP("Brightness:"), decorationranges::Brightness.Min,
                    decorationranges::Brightness.Max},
                   {&TfrmWaterMark::trcContrast, &TfrmWaterMark::spedtContrast, "trcContrast",
                    "spedtContrast", QT_TR_NOOP("Contrast:"), decorationranges::Contrast.Min,
                    decorationranges::Contrast.Max},
                   {&TfrmWaterMark::trcSaturation, &TfrmWaterMark::spedtSaturation, "trcSaturation",
                    "spedtSaturation", QT_TR_NOOP("Saturation:"), decorationranges::Saturation.Min,
                    decorationranges::Saturation.Max},
                   {&TfrmWaterMark::trcExposure, &TfrmWaterMark::spedtExposure, "trcExposure",
                    "spedtExposure", QT_TR_NOOP("Exposure:"), decorationranges::Exposure.Min,
                    decorationranges::Exposure.Max}};
  auto *grid = new QGridLayout(page);
  int row = 0;
  for (const auto &[barField, spinField, barName, spinName, caption, low, high] : effects) {
    TTrackBar *bar = Bar(page, barName, low, high);
    auto *spin = new TSpinEdit(page);
    spin->setObjectName(spinName);
    spin->setRange(low, high);
    spin->setFixedWidth(ScaledToFont(*spin, 64));
    AddBarRow(grid, row++, tr(caption), bar, spin, nullptr);
    this->*barField = bar;
    this->*spinField = spin;
  }
  chkProcessText = new QCheckBox(tr("Process  Added Text"), page);
  chkProcessText->setObjectName("chkProcessText");
  chkProcessImage = new QCheckBox(tr("Process  Added Image"), page);
  chkProcessImage->setObjectName("chkProcessImage");
  btnReset = NamedButton(page, "btnReset", tr("Reset"));
  grid->addWidget(chkProcessText, row++, 1);
  grid->addWidget(chkProcessImage, row++, 1);
  grid->addWidget(btnReset, row++, 1, 1, 2, Qt::AlignRight);
  grid->setRowStretch(row, 1);
  grid->setColumnStretch(1, 1);
  return page;
}

QWidget *TfrmWaterMark::CreatePreview() {
  grpPreview = new QGroupBox(tr("Source Preview"), this);
  grpPreview->setObjectName("grpPreview");
  imgPreview = PreviewPanel->Picture;
  auto *column = new QVBoxLayout(grpPreview);
  column->addWidget(PreviewPanel);
  return grpPreview;
}

void TfrmWaterMark::ConnectHandlers() {
  const auto on = [this](auto *sender, auto signal, void (TfrmWaterMark::*handler)()) {
    connect(sender, signal, this, [this, handler] { Guarded([&] { (this->*handler)(); }); });
  };
  // A bar writes its position into its box; a spin edit moves its bar.
  for (auto [bar, box] : {std::pair{trcTextHoriz, edtTextHoriz},
                          {trcTextVert, edtTextVert},
                          {trcImageHoriz, edtImageHoriz},
                          {trcImageVert, edtImageVert},
                          {trcImageAlpha, edtImageAlpha}})
    connect(bar, &QSlider::valueChanged, box,
            [box = box](int value) { box->setText(QString::number(value)); });
  for (auto [bar, spin] : {std::pair{trcBrightness, spedtBrightness},
                           {trcContrast, spedtContrast},
                           {trcSaturation, spedtSaturation},
                           {trcExposure, spedtExposure}}) {
    connect(bar, &QSlider::valueChanged, spin, &QSpinBox::setValue);
    connect(spin, &QSpinBox::valueChanged, bar, &QSlider::setValue);
  }
  // Every value the preview draws takes effect on the next frame.
  for (TTrackBar *bar : {trcTextHoriz, trcTextVert, trcImageHoriz, trcImageVert, trcImageAlpha,
                         trcBrightness, trcContrast, trcSaturation, trcExposure})
    on(bar, &QSlider::valueChanged, &TfrmWaterMark::PushValues);
  for (QAbstractButton *box : std::initializer_list<QAbstractButton *>{
           rbTransparent1, rbTransparent2, chkProcessText, chkProcessImage})
    on(box, &QAbstractButton::toggled, &TfrmWaterMark::PushValues);
  for (QCheckBox *style : {chkBold, chkItalic, chkUnderline, chkStrikeOut})
    on(style, &QCheckBox::toggled, &TfrmWaterMark::chkFontStyleClick);
  on(edtFont, &QLineEdit::textChanged, &TfrmWaterMark::edtFontChange);
  on(cmbFont, &QComboBox::currentIndexChanged, &TfrmWaterMark::cmbFontChange);
  on(cmbFontSize, &QComboBox::currentIndexChanged, &TfrmWaterMark::cmbFontSizeChange);
  on(cmbFontColor, &QComboBox::currentIndexChanged, &TfrmWaterMark::cmbFontColorChange);
  on(edtAddImage, &QLineEdit::textChanged, &TfrmWaterMark::edtAddImageChange);
  on(btnBrows, &QPushButton::clicked, &TfrmWaterMark::btnBrowsClick);
  on(btnClearImage, &QPushButton::clicked, &TfrmWaterMark::btnClearImageClick);
  on(btnClearText, &QPushButton::clicked, &TfrmWaterMark::btnClearTextClick);
  on(btnReset, &QPushButton::clicked, &TfrmWaterMark::btnResetClick);
  on(btnOk, &QPushButton::clicked, &TfrmWaterMark::btnOkClick);
  on(btnCancel, &QPushButton::clicked, &TfrmWaterMark::btnCancelClick);
}

// Showing

void TfrmWaterMark::showEvent(QShowEvent *event) {
  TEditorDialog::showEvent(event);
  Guarded([this] { FormShow(); });
}

void TfrmWaterMark::FormShow() {
  if (!FRecord) return;
  // 1. to 5. The record's values in the controls.
  FShowing = true;
  cmbFontSize->clear();
  for (int size = MinFontSize; size <= MaxFontSize; ++size)
    cmbFontSize->addItem(QString::number(size));
  ShowValues(TWaterMarkValues::FromRecord(*FRecord));
  FShowing = false;
  edtAddImageChange();
  edtFontChange();
  FPreview.SetCrop(FRecord->CropTop, FRecord->CropLeft, FRecord->CropBottom, FRecord->CropRight);
  PushValues();
  // 6. The title names the file.
  setWindowTitle(ShownText(WaterMarkTitle(FRecord->SourceFile)));
  // 7. The file, playing.
  OpenPreview(FRecord->SourceFile, [this](bool ok) {
    if (ok) ShowPlaying(true);
  });
}

void TfrmWaterMark::ShowValues(const TWaterMarkValues &v) {
  trcTextHoriz->setValue(v.TextHorz);
  trcTextVert->setValue(v.TextVert);
  trcImageHoriz->setValue(v.ImageHorz);
  trcImageVert->setValue(v.ImageVert);
  trcImageAlpha->setValue(v.ImageAlpha);
  // The boxes show the values even where the bars did not move.
  for (auto [bar, box] : {std::pair{trcTextHoriz, edtTextHoriz},
                          {trcTextVert, edtTextVert},
                          {trcImageHoriz, edtImageHoriz},
                          {trcImageVert, edtImageVert},
                          {trcImageAlpha, edtImageAlpha}})
    box->setText(QString::number(bar->value()));
  (v.ImageStyle == 1 ? rbTransparent1 : rbTransparent2)->setChecked(true);
  trcBrightness->setValue(v.Brightness);
  trcContrast->setValue(v.Contrast);
  trcSaturation->setValue(v.Saturation);
  trcExposure->setValue(v.Exposure);
  chkProcessText->setChecked(v.EffectOnText);
  chkProcessImage->setChecked(v.EffectOnImage);
  FEditFont = v.Font;
  if (v.FontChosen) {
    SelectFont(v.Font);
  } else {
    cmbFont->setCurrentIndex(-1);
    cmbFontSize->setCurrentIndex(-1);
    cmbFontColor->setCurrentIndex(-1);
  }
  chkBold->setChecked(v.Font.Bold);
  chkItalic->setChecked(v.Font.Italic);
  chkUnderline->setChecked(v.Font.Underline);
  chkStrikeOut->setChecked(v.Font.StrikeOut);
  edtFont->setText(QText(v.Text));
  edtAddImage->setText(QText(v.Image));
  ShowEditFont();
}

// The lists show a font's name, size and colour; a name or colour the lists lack is added.
void TfrmWaterMark::SelectFont(const TMarkFont &font) {
  const QString name = QText(font.Name);
  if (cmbFont->findText(name) < 0) cmbFont->addItem(name);
  cmbFont->setCurrentIndex(cmbFont->findText(name));
  cmbFontSize->setCurrentIndex(cmbFontSize->findText(QString::number(font.Size)));
  int color = cmbFontColor->findData(QVariant::fromValue(font.Color));
  if (color < 0) {
    AddColor(cmbFontColor, ColorOf(font.Color).name(), font.Color);
    color = cmbFontColor->count() - 1;
  }
  cmbFontColor->setCurrentIndex(color);
}

// The text box in the text's font and colour, at a size that still fits its line.
void TfrmWaterMark::ShowEditFont() {
  QFont font = MarkQFont(FEditFont);
  font.setPixelSize(std::min(font.pixelSize(), LargestShownFont));
  edtFont->setFont(font);
  // A light colour is shown on a dark box, so that the text stays readable.
  const QColor color = ColorOf(FEditFont.Color);
  const bool light = color.lightness() > 200;
  edtFont->setStyleSheet(QString("QLineEdit#edtFont { color: %1; background: %2; }")
                             .arg(color.name(), light ? "rgb(96, 96, 96)" : "white"));
}

TWaterMarkValues TfrmWaterMark::Values() const {
  TWaterMarkValues v;
  v.Text = edtFont->text().toStdString();
  v.Font = FEditFont;
  v.TextHorz = trcTextHoriz->value();
  v.TextVert = trcTextVert->value();
  v.Image = edtAddImage->text().toStdString();
  v.ImageHorz = trcImageHoriz->value();
  v.ImageVert = trcImageVert->value();
  v.ImageAlpha = trcImageAlpha->value();
  v.ImageStyle = rbTransparent1->isChecked() ? 1 : 2;
  v.Brightness = trcBrightness->value();
  v.Contrast = trcContrast->value();
  v.Saturation = trcSaturation->value();
  v.Exposure = trcExposure->value();
  v.EffectOnText = chkProcessText->isChecked();
  v.EffectOnImage = chkProcessImage->isChecked();
  return v;
}

void TfrmWaterMark::PushValues() {
  if (!FShowing) FPreview.SetValues(Values());
}

// Text

void TfrmWaterMark::edtFontChange() {
  const bool text = !edtFont->text().isEmpty();
  trcTextHoriz->setEnabled(text);
  trcTextVert->setEnabled(text);
  if (text) {
    if (cmbFont->currentIndex() >= 0) FEditFont.Name = cmbFont->currentText().toStdString();
    FEditFont.Size = cmbFontSize->currentIndex() >= 0 ? cmbFontSize->currentText().toInt()
                                                      : TWaterMarkValues::NoFontSize;
    FEditFont.Color = cmbFontColor->currentIndex() >= 0
                          ? cmbFontColor->currentData().value<uint32_t>()
                          : 0;  // black
    ShowEditFont();
  }
  PushValues();
}

void TfrmWaterMark::cmbFontChange() {
  if (edtFont->text().isEmpty() || cmbFont->currentIndex() < 0) return;
  FEditFont.Name = cmbFont->currentText().toStdString();
  ShowEditFont();
  PushValues();
}

void TfrmWaterMark::cmbFontSizeChange() {
  if (edtFont->text().isEmpty() || cmbFontSize->currentIndex() < 0) return;
  FEditFont.Size = cmbFontSize->currentText().toInt();
  ShowEditFont();
  PushValues();
}

void TfrmWaterMark::cmbFontColorChange() {
  if (edtFont->text().isEmpty() || cmbFontColor->currentIndex() < 0) return;
  FEditFont.Color = cmbFontColor->currentData().value<uint32_t>();
  ShowEditFont();
  PushValues();
}

void TfrmWaterMark::chkFontStyleClick() {
  FEditFont.Bold = chkBold->isChecked();
  FEditFont.Italic = chkItalic->isChecked();
  FEditFont.Underline = chkUnderline->isChecked();
  FEditFont.StrikeOut = chkStrikeOut->isChecked();
  ShowEditFont();
  PushValues();
}

void TfrmWaterMark::btnClearTextClick() {
  edtFont->clear();
  FPreview.ClearText();
  trcTextHoriz->setValue(0);
  trcTextVert->setValue(0);
  edtTextHoriz->setText("0");
  edtTextVert->setText("0");
}

// Picture

void TfrmWaterMark::edtAddImageChange() {
  const bool image = !edtAddImage->text().isEmpty();
  for (TTrackBar *bar : {trcImageHoriz, trcImageVert, trcImageAlpha}) bar->setEnabled(image);
  PushValues();
}

void TfrmWaterMark::btnBrowsClick() {
  const QString file = FDialogs.ChooseFile(
      this, {tr("Bitmap files (*.bmp *.BMP)"),
             tr("Picture files (*.bmp *.png *.jpg *.jpeg *.gif *.BMP *.PNG *.JPG *.JPEG *.GIF)")});
  if (!file.isEmpty()) edtAddImage->setText(file);
}

void TfrmWaterMark::btnClearImageClick() {
  FFPlayer.SetHook(false);
  edtAddImage->clear();
  FPreview.ClearImage();
  trcImageHoriz->setValue(0);
  trcImageVert->setValue(0);
  trcImageAlpha->setValue(TWaterMarkValues::ClearedAlpha);
  FFPlayer.SetHook(true);
}

// Effects

void TfrmWaterMark::btnResetClick() {
  TWaterMarkValues neutral;
  neutral.ResetEffects();
  trcBrightness->setValue(neutral.Brightness);
  trcContrast->setValue(neutral.Contrast);
  trcSaturation->setValue(neutral.Saturation);
  trcExposure->setValue(neutral.Exposure);
  chkProcessText->setChecked(false);
  chkProcessImage->setChecked(false);
}

// Closing

void TfrmWaterMark::btnOkClick() {
  if (FRecord) Values().Store(*FRecord, FPreview.LastText(), FPreview.LastImage());
  FFPlayer.SetHook(false);
  PreviewPanel->Close();
  accept();
}

void TfrmWaterMark::btnCancelClick() {
  FFPlayer.SetHook(false);
  PreviewPanel->Close();
  reject();
}

void TfrmWaterMark::hideEvent(QHideEvent *event) {
  // Closed and waited for, as every preview is: the next player to open must not meet this one
  // still drawing.
  FFPlayer.SetHook(false);
  PreviewPanel->Close();
  FPreview.FreeImage();
  TEditorDialog::hideEvent(event);
}

// The player

void TfrmWaterMark::FFPlayerFileOpen(int64_t duration, int frameWidth, int frameHeight,
                                     int &screenWidth, int &screenHeight) {
  FFPlayer.SetHook(true);
  TEditorDialog::FFPlayerFileOpen(duration, frameWidth, frameHeight, screenWidth, screenHeight);
}

void TfrmWaterMark::FFPlayerState(TPlayState state) {
  if (state == TPlayState::psEnd) FPreview.FreeImage();
}

void TfrmWaterMark::FFPlayerHook(TBitmap &bitmap, int64_t) {
  FPreview.Decorate(bitmap);
}
