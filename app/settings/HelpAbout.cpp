#include "HelpAbout.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSaveFile>
#include <QTextBrowser>
#include <QTextDocument>
#include <QVBoxLayout>

QString QuickHelpText() {
  return QStringLiteral(
      "Quick help:\n"
      "\n"
      "First, see the 'System' tab to toggle drawing & set up your global hot keys.\n"
      "Right-click the (blue) drawing window to discard it.\n"
      "Your fire animation can stay over your desktop or over all windows, and can be quickly "
      "toggled.\n"
      "\n"
      "Try to load one of the included styles from the 'Files' tab, and play with them. QUELMA can "
      "do "
      "more than just fire.\n"
      "\n"
      "'Fading hue' in the 'Fading' tab sets your fire color.\n"
      "\n"
      "QUELMA minimizes as an icon in your taskbar.");
}

TLogo::TLogo(QWidget* Parent) : QWidget(Parent) {
  setObjectName(QStringLiteral("Logo"));
}

QSize TLogo::sizeHint() const {
  return {260, 120};
}

void TLogo::paintEvent(QPaintEvent*) {
  QPainter G(this);
  G.setRenderHint(QPainter::Antialiasing);
  const QRectF R = rect();
  G.fillRect(R, QColor(16, 10, 8));
  // A row of flame tongues rising from the bottom edge.
  const int Tongues = 9;
  const double W = R.width() / Tongues;
  for (int i = 0; i < Tongues; ++i) {
    const double X = R.left() + i * W;
    const double Height = R.height() * (0.55 + 0.35 * ((i * 37) % 11) / 10.0);
    QPainterPath P;
    P.moveTo(X, R.bottom());
    P.cubicTo(X, R.bottom() - Height * 0.5, X + W * 0.3, R.bottom() - Height * 0.7, X + W * 0.5,
              R.bottom() - Height);
    P.cubicTo(X + W * 0.7, R.bottom() - Height * 0.6, X + W, R.bottom() - Height * 0.4, X + W,
              R.bottom());
    P.closeSubpath();
    QLinearGradient Fire(0, R.bottom(), 0, R.bottom() - Height);
    Fire.setColorAt(0, QColor(255, 220, 90, 230));
    Fire.setColorAt(0.45, QColor(255, 120, 10, 200));
    Fire.setColorAt(1, QColor(160, 20, 0, 0));
    G.setPen(Qt::NoPen);
    G.setBrush(Fire);
    G.drawPath(P);
  }
  QFont F = font();
  F.setBold(true);
  F.setPixelSize(int(R.height() * 0.32));
  F.setLetterSpacing(QFont::PercentageSpacing, 115);
  G.setFont(F);
  G.setPen(QColor(0, 0, 0, 160));
  G.drawText(R.translated(2, 2), Qt::AlignCenter, QStringLiteral("QUELMA"));
  G.setPen(QColor(255, 248, 225));
  G.drawText(R, Qt::AlignCenter, QStringLiteral("QUELMA"));
}

void TLogo::mouseReleaseEvent(QMouseEvent* Event) {
  if (Event->button() == Qt::LeftButton && rect().contains(Event->position().toPoint()) && OnClick)
    OnClick();
}

QString ManualText() {
  QFile F(QStringLiteral(":/doc/manual.md"));
  if (!F.open(QIODevice::ReadOnly))
    return QString();
  return QString::fromUtf8(F.readAll());
}

bool WriteManualPage(const QString& File, QString* Why) {
  QTextDocument Doc;
  Doc.setMarkdown(ManualText());
  QString Html = Doc.toHtml();
  Html.replace(QStringLiteral("<head>"), QStringLiteral("<head><title>QUELMA user manual</title>"
                                                        "<meta charset=\"utf-8\">"));
  QDir().mkpath(QFileInfo(File).absolutePath());
  QSaveFile Out(File);
  if (Out.open(QIODevice::WriteOnly) && Out.write(Html.toUtf8()) >= 0 && Out.commit())
    return true;
  if (Why)
    *Why = Out.errorString();
  return false;
}

namespace {

QLabel* MakeLink(QWidget* Parent, const char* Name, const QString& Text) {
  // The owner opens the help itself (it hides the drawing window first).
  auto* L = new QLabel(QStringLiteral("<a href=\"help\">%1</a>").arg(Text.toHtmlEscaped()), Parent);
  L->setObjectName(QString::fromLatin1(Name));
  L->setTextFormat(Qt::RichText);
  L->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
  L->setOpenExternalLinks(false);
  // Only the text is the link: the label is as wide as its text.
  L->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
  return L;
}

} // namespace

THelpSheet BuildHelpSheet(QWidget* Sheet) {
  THelpSheet H;
  auto* Layout = new QVBoxLayout(Sheet);
  auto* Row = new QHBoxLayout;
  H.HelpMemo = new QPlainTextEdit(Sheet);
  H.HelpMemo->setObjectName(QStringLiteral("HelpMemo"));
  H.HelpMemo->setFrameShape(QFrame::NoFrame);
  H.HelpMemo->setReadOnly(true);
  H.HelpMemo->setPlainText(QuickHelpText());
  Row->addWidget(H.HelpMemo, 2);
  H.ManualView = new QTextBrowser(Sheet);
  H.ManualView->setObjectName(QStringLiteral("ManualView"));
  H.ManualView->setOpenExternalLinks(false);
  H.ManualView->setMarkdown(ManualText());
  Row->addWidget(H.ManualView, 3);
  Layout->addLayout(Row, 1);
  H.HelpLink = MakeLink(Sheet, "HelpLink", QStringLiteral("Open the manual in your web browser"));
  Layout->addWidget(H.HelpLink, 0, Qt::AlignLeft);
  return H;
}

TAboutSheet BuildAboutSheet(QWidget* Sheet, const QString& Version) {
  TAboutSheet A;
  auto* Row = new QHBoxLayout(Sheet);
  A.Logo = new TLogo(Sheet);
  A.Logo->setMinimumSize(A.Logo->sizeHint());
  Row->addWidget(A.Logo, 0, Qt::AlignTop);
  auto* Column = new QVBoxLayout;
  A.VersionLabel = new QLabel(QStringLiteral("Version ") + Version, Sheet);
  A.VersionLabel->setObjectName(QStringLiteral("VersionLabel"));
  A.Logo->setCursor(Qt::PointingHandCursor);
  A.AboutLink = MakeLink(Sheet, "AboutLink", QStringLiteral("QUELMA's user manual"));
  A.DeskIconsBtn = new QPushButton(QStringLiteral("My &desktop icons on fire!"), Sheet);
  A.DeskIconsBtn->setObjectName(QStringLiteral("DeskIconsBtn"));
  Column->addWidget(A.VersionLabel);
  Column->addWidget(A.AboutLink, 0, Qt::AlignLeft);
  Column->addWidget(A.DeskIconsBtn, 0, Qt::AlignLeft);
  Column->addStretch(1);
  Row->addLayout(Column, 1);
  return A;
}
