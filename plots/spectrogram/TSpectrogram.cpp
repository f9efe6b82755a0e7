#include "plots/spectrogram/TSpectrogram.h"

#include "records/SpectrogramPlotSettings.h"

void TSpectrogram::AddSpectrum(float) {}

int TSpectrogram::GetOrientation() const { return m_settings ? m_settings->Direction : 0; }

void TSpectrogram::Rebuild(int, SpectralData*, SpectralData*) {}
