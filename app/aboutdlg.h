#pragma once
// The About box: the program's name, version and credits.

#include <QDialog>

namespace zelph {

class CAboutDlg : public QDialog {
    Q_OBJECT
public:
    explicit CAboutDlg(QWidget* parent = nullptr);
};

}  // namespace zelph
