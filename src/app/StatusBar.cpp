#include "StatusBar.h"

#include <QPainter>
#include <QStyle>
#include <QStyleOptionFrame>

#include "VornMultiClassMethod.h"

TStatusBar::TStatusBar(QWidget* parent) : QWidget(parent) {}

void TStatusBar::SetPanels(const QVector<int>& widths) {
  FPanels.clear();
  for (int width : widths) FPanels.append({QString(), width});
  update();
}

int TStatusBar::PanelWidth(int index) const {
  return index >= 0 && index < FPanels.size() ? FPanels[index].Width : 0;
}

void TStatusBar::SetPanelWidth(int index, int width) {
  if (index < 0 || index >= FPanels.size()) return;
  FPanels[index].Width = width;
  update();
}

QString TStatusBar::PanelText(int index) const {
  return index >= 0 && index < FPanels.size() ? FPanels[index].Text : QString();
}

void TStatusBar::SetPanelText(int index, const QString& text) {
  if (index < 0 || index >= FPanels.size() || FPanels[index].Text == text) return;
  FPanels[index].Text = text;
  update();
}

void TStatusBar::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  int left = 0;
  for (qsizetype i = 0; i < FPanels.size(); ++i) {
    const TPanel& panel = FPanels[i];
    const int width =
        i == FPanels.size() - 1 ? qMax(panel.Width, this->width() - left) : panel.Width;
    const QRect box(left, 0, width, height());
    QStyleOptionFrame frame;
    frame.initFrom(this);
    frame.rect = box;
    frame.frameShape = QFrame::Panel;
    frame.state |= QStyle::State_Sunken;
    frame.lineWidth = 1;
    style()->drawPrimitive(QStyle::PE_Frame, &frame, &painter, this);
    const QRect textBox = box.adjusted(3, 1, -3, -1);
    painter.drawText(textBox, Qt::AlignLeft | Qt::AlignVCenter,
                     fontMetrics().elidedText(panel.Text, Qt::ElideRight, textBox.width()));
    left += panel.Width + 2;
  }
}

void TStatusBar::ReplaceTexts(IMultiDD& DD, QObject* Component, const std::string& CodePage,
                              const std::string& SeqNo, const QFont*) {
  auto* bar = static_cast<TStatusBar*>(Component);
  for (int i = 0; i < bar->PanelCount(); ++i)
    bar->SetPanelText(i, TranslateText(DD, bar->PanelText(i), CodePage, SeqNo));
}
