#include "settings/dialogparts.h"

#include <QButtonGroup>
#include <QGroupBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QVBoxLayout>

#include "ui/xtargetbutton.h"

namespace zelph {

QPushButton* MakeCommandButton(const QString& text, const QString& icon, QWidget* parent) {
    auto* button = new CTargetButton(text, parent);
    button->SetButtonIcons(icon, CTargetButton::kIconLeft);
    // Enter must not act as "Save": only a real press of the button stores.
    button->setAutoDefault(false);
    return button;
}

QGroupBox* MakeGroup(const QString& title, QLayout* content, QWidget* parent) {
    auto* box = new QGroupBox(title, parent);
    box->setLayout(content);
    return box;
}

QLayout* Column(std::initializer_list<QWidget*> widgets) {
    auto* column = new QVBoxLayout;
    for (QWidget* widget : widgets) column->addWidget(widget);
    return column;
}

QSlider* MakeTrackBar(QWidget* parent) {
    auto* bar = new QSlider(Qt::Horizontal, parent);
    bar->setRange(0, 9);
    bar->setPageStep(1);
    bar->setTickPosition(QSlider::NoTicks);
    return bar;
}

RadioGroup::RadioGroup(QWidget* owner) : owner_(owner), buttons_(new QButtonGroup(owner)) {}

QRadioButton* RadioGroup::AddChoice(const QString& text, int value, std::initializer_list<QWidget*> enables) {
    auto* radio = new QRadioButton(text, owner_);
    buttons_->addButton(radio);
    choices_.push_back({radio, value, enables});
    const std::size_t position = choices_.size() - 1;
    QObject::connect(radio, &QRadioButton::toggled, owner_, [this, position](bool checked) {
        if (checked) ApplyEnabling(choices_[position]);
    });
    return radio;
}

void RadioGroup::ApplyEnabling(const Choice& chosen) {
    for (const Choice& choice : choices_)
        for (QWidget* control : choice.enables) control->setEnabled(false);
    for (QWidget* control : chosen.enables) control->setEnabled(true);
}

void RadioGroup::ShowChoice(int value) {
    // An exclusive group refuses to uncheck its last radio.
    buttons_->setExclusive(false);
    for (const Choice& choice : choices_) choice.radio->setChecked(false);
    buttons_->setExclusive(true);
    for (const Choice& choice : choices_) {
        if (choice.value == value) {
            choice.radio->setChecked(true);
            return;
        }
    }
    for (const Choice& choice : choices_)
        for (QWidget* control : choice.enables) control->setEnabled(true);
}

std::optional<int> RadioGroup::Checked() const {
    for (const Choice& choice : choices_)
        if (choice.radio->isChecked()) return choice.value;
    return std::nullopt;
}

ValueListBox::ValueListBox(const ValueList& list, const char* name, QWidget* parent)
    : QComboBox(parent), list_(list) {
    setObjectName(name);
    setEditable(true);
    setInsertPolicy(QComboBox::NoInsert);
    for (int i = 0; i < list.size(); ++i) addItem(QString::fromStdString(list.Label(i)));
}

void ValueListBox::Show(int position) { setCurrentIndex(list_.Contains(position) ? position : -1); }

int ValueListBox::Selected() const {
    return findText(currentText(), Qt::MatchFixedString | Qt::MatchCaseSensitive);
}

void KeepMinimumBelowMaximum(ValueListBox* minimum, ValueListBox* maximum) {
    auto inverted = [=] {
        return minimum->Selected() >= 0 && maximum->Selected() >= 0 &&
               maximum->SelectedValue() < minimum->SelectedValue();
    };
    // activated: only the user's choices, never the opening of the window.
    QObject::connect(maximum, &QComboBox::activated, maximum, [=] {
        if (inverted()) maximum->setCurrentIndex(minimum->Selected());
    });
    QObject::connect(minimum, &QComboBox::activated, minimum, [=] {
        if (inverted()) minimum->setCurrentIndex(maximum->Selected());
    });
}

PcmFormatChoice::PcmFormatChoice(QWidget* owner, bool offerAsSource) : channels_(owner), sampleSize_(owner) {
    QLayout* channels = Column({channels_.Add("Mono", WavChannels::kMono), channels_.Add("Stereo", WavChannels::kStereo)});
    QLayout* sizes = Column({sampleSize_.Add("8 Bits/Sample", WavSampleSize::k8Bit),
                             sampleSize_.Add("16 Bits/Sample", WavSampleSize::k16Bit)});
    if (offerAsSource) {
        channels->addWidget(channels_.Add("As Source", WavChannels::kAsSource));
        sizes->addWidget(sampleSize_.Add("As Source", WavSampleSize::kAsSource));
    }
    channelsBox_ = MakeGroup("Channels", channels, owner);
    sampleSizeBox_ = MakeGroup("Bit Rate", sizes, owner);
}

void PcmFormatChoice::Show(const WavPcmSettings& pcm) {
    channels_.Show(pcm.channelMode);
    sampleSize_.Show(pcm.sampleSizeMode);
}

void PcmFormatChoice::Store(WavPcmSettings& pcm) const {
    channels_.Store(pcm.channelMode);
    sampleSize_.Store(pcm.sampleSizeMode);
}

}  // namespace zelph
