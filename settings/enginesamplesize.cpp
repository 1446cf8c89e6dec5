#include "settings/enginesamplesize.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QRadioButton>

namespace zelph {

CEngineSampleSize::CEngineSampleSize(const QString& title, SampleSizeChoice* choice, QWidget* parent)
    : CSettingsWindow(title, parent), choice_(choice), sampleSize_(this) {
    auto* sizes = MakeGroup("Sample Size", Column({sampleSize_.Add("As Source (16 or 24 Bit)", SampleSizeChoice::kAsSource),
                                                   sampleSize_.Add("16 Bit", SampleSizeChoice::k16Bit),
                                                   sampleSize_.Add("24 Bit", SampleSizeChoice::k24Bit)}), this);
    auto* controls = new QGridLayout;
    controls->addWidget(sizes, 0, 0);
    SetControls(controls);
}

void CEngineSampleSize::ShowBlock() { sampleSize_.Show(*choice_); }

void CEngineSampleSize::StoreBlock() { sampleSize_.Store(*choice_); }

}  // namespace zelph
