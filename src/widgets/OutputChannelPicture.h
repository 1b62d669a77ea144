#pragma once

#include <QWidget>

namespace orvex {

// The picture of the output channel shown: a speaker badge with the channel's name in the interface's
// language, drawn at any size and pixel ratio.
class COutputChannelPicture : public QWidget {
public:
    explicit COutputChannelPicture(QWidget* parent = nullptr);

    void SetChannel(int channel, bool english);
    int Channel() const { return m_channel; }
    bool English() const { return m_english; }
    QString Caption() const;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int m_channel = 0;
    bool m_english = false;
};

} // namespace orvex
