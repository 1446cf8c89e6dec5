#include "app/aboutdlg.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QVBoxLayout>

#include "ui/xtargetbutton.h"

namespace zelph {

CAboutDlg::CAboutDlg(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint) {
    setWindowTitle("About Zelph Audio Converter");

    auto* icon = new QLabel(this);
    icon->setPixmap(QIcon(":/icons/program.svg").pixmap(32, 32));
    auto* title = new QLabel("Zelph Audio Converter (QOR) Version 1.0", this);

    auto* credits = new QGroupBox("By", this);
    auto* creditLines = new QVBoxLayout(credits);
    for (const char* line : {"Conversion core, windows and codecs: the Zelph developers",
                             "Codec libraries: libmpg123, libogg, libvorbis, libmp3lame, libFLAC, libopus, FFmpeg",
                             "Tags, cover pictures and loudness: TagLib and libebur128",
                             "Free software under the GNU General Public License, version 2 or later"})
        creditLines->addWidget(new QLabel(line, credits));

    auto* ok = new CTargetButton("OK", this);
    ok->SetButtonIcons(":/icons/ok.svg", CTargetButton::kIconLeft);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    auto* heading = new QHBoxLayout;
    heading->addWidget(icon);
    heading->addWidget(title, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(heading);
    layout->addWidget(credits);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

}  // namespace zelph
