#include "plots/spectrogram/TSurfacePlot.h"

void TSurfacePlot::AddSpectrum(float) {}

void TSurfacePlot::Rebuild(SpectralData*, SpectralData*) {}
