// A status bar made of panels, each with one text, side by side from the left. Every panel but
// the last is as wide as its width; the last one reaches the right edge.
#pragma once

#include <QString>
#include <QVector>
#include <QWidget>

#include <string>

class IMultiDD;

class TStatusBar : public QWidget {
  Q_OBJECT

 public:
  explicit TStatusBar(QWidget* parent = nullptr);

  // Replaces the panels by `widths.size()` empty panels of these widths.
  void SetPanels(const QVector<int>& widths);
  int PanelCount() const { return int(FPanels.size()); }
  int PanelWidth(int index) const;
  void SetPanelWidth(int index, int width);
  QString PanelText(int index) const;
  void SetPanelText(int index, const QString& text);

  // The screen translation's routine for the class: every panel's text, in order.
  static void ReplaceTexts(IMultiDD& DD, QObject* Component, const std::string& CodePage,
                           const std::string& SeqNo, const QFont* Font);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  struct TPanel {
    QString Text;
    int Width = 0;
  };
  QVector<TPanel> FPanels;
};
