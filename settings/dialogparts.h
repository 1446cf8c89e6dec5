#pragma once
// Building blocks shared by the settings windows: the command buttons, radio
// groups that edit one mode field (and enable the controls of their mode),
// drop-down lists over a value table, and the track bars.

#include <QCheckBox>
#include <QComboBox>
#include <QString>

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <vector>

#include "settings/settings.h"
#include "settings/valuelists.h"

class QAbstractButton;
class QButtonGroup;
class QGroupBox;
class QLayout;
class QPushButton;
class QRadioButton;
class QSlider;
class QWidget;

namespace zelph {

// Every "Save", "Cancel" and "Browse" button of the settings windows: a
// target button with `icon` (a resource path) left of the caption.
QPushButton* MakeCommandButton(const QString& text, const QString& icon, QWidget* parent);

QGroupBox* MakeGroup(const QString& title, QLayout* content, QWidget* parent);
// The widgets one below the other.
QLayout* Column(std::initializer_list<QWidget*> widgets);

// Range 0..9 without tick marks.
QSlider* MakeTrackBar(QWidget* parent);

// Check boxes that each edit one 0/1 field of a block.
template <typename Block>
class FlagBoxes {
public:
    explicit FlagBoxes(QWidget* owner) : owner_(owner) {}

    QCheckBox* Add(const QString& text, int32_t Block::*field) {
        auto* box = new QCheckBox(text, owner_);
        flags_.push_back({box, field});
        return box;
    }
    void Show(const Block& block) const {
        for (const Flag& flag : flags_) flag.box->setChecked(block.*flag.field != 0);
    }
    void Store(Block& block) const {
        for (const Flag& flag : flags_) block.*flag.field = flag.box->isChecked() ? 1 : 0;
    }

private:
    struct Flag {
        QCheckBox* box;
        int32_t Block::*field;
    };
    QWidget* owner_;
    std::vector<Flag> flags_;
};

// Radios that stand for the values of one mode field. A radio may enable
// controls: when it becomes checked, the controls of the other radios are
// disabled and its own enabled.
class RadioGroup {
public:
    explicit RadioGroup(QWidget* owner);

    // `value` is the mode (an enumerator) the radio stands for.
    template <typename Mode>
    QRadioButton* Add(const QString& text, Mode value, std::initializer_list<QWidget*> enables = {}) {
        return AddChoice(text, static_cast<int>(value), enables);
    }

    // Checks the radio of `value`. A value outside the group checks none and
    // leaves every dependent control enabled.
    template <typename Mode>
    void Show(Mode value) {
        ShowChoice(static_cast<int>(value));
    }
    // The value of the first checked radio, or nothing when none is.
    std::optional<int> Checked() const;
    template <typename Field>
    void Store(Field& field) const {
        if (const auto value = Checked()) field = static_cast<Field>(*value);
    }

private:
    struct Choice {
        QRadioButton* radio;
        int value;
        std::vector<QWidget*> enables;
    };
    QRadioButton* AddChoice(const QString& text, int value, std::initializer_list<QWidget*> enables);
    void ShowChoice(int value);
    void ApplyEnabling(const Choice& chosen);

    QWidget* owner_;
    QButtonGroup* buttons_;
    std::vector<Choice> choices_;
};

// A drop-down list of one value table, editing an index/value pair. The text
// field can be typed into; only text naming an entry counts as a selection.
class ValueListBox : public QComboBox {
public:
    ValueListBox(const ValueList& list, const char* name, QWidget* parent);

    // Selects the entry at `position`; a position outside the list selects none.
    void Show(int position);
    // The entry the list shows, or -1.
    int Selected() const;
    double SelectedValue() const { return list_.values[Selected()]; }
    // Stores the selected entry; without a selection the pair keeps its values.
    template <typename Value>
    void Store(int32_t& index, Value& value) const {
        StoreEntry(list_, Selected(), index, value);
    }

private:
    const ValueList& list_;
};

// A VBR bit-rate range: when the user picks a maximum below the minimum, the
// maximum takes the minimum's entry, and a minimum above the maximum takes
// the maximum's entry.
void KeepMinimumBelowMaximum(ValueListBox* minimum, ValueListBox* maximum);

// The channel and sample-size choice shared by the engine windows; a
// window whose input form is kept in zelph.conf also offers keeping the
// source's.
class PcmFormatChoice {
public:
    explicit PcmFormatChoice(QWidget* owner, bool offerAsSource = false);
    QGroupBox* channelsBox() const { return channelsBox_; }
    QGroupBox* sampleSizeBox() const { return sampleSizeBox_; }
    void Show(const WavPcmSettings& pcm);
    void Store(WavPcmSettings& pcm) const;

private:
    RadioGroup channels_, sampleSize_;
    QGroupBox* channelsBox_;
    QGroupBox* sampleSizeBox_;
};

}  // namespace zelph
