#pragma once

#include <QLabel>
#include <QString>

#include "window_texts.h"

namespace probelyn {

// The maker's web site, opened from the logo.
using texts::kMakerWebSite;

// The logo image: shows a pointing hand and opens the maker's web site in the
// default browser when clicked, or from the keyboard (Space, Return, Enter)
// once Tab has reached it. A failure to open it is passed over silently.
class LogoLink : public QLabel {
    Q_OBJECT
  public:
    explicit LogoLink(QWidget* parent);

    void Open();

  protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

  private:
    bool pressed_ = false;
};

}  // namespace probelyn
