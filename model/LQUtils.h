// The document model's measures, tagged values and pools in one include. Each part has its
// own header; include the focused one where that is all a unit needs.
#pragma once

#include "model/LQHelpers.h"
#include "model/LQImage.h"
#include "model/LQMeasures.h"
#include "model/LQSets.h"
#include "model/LQValues.h"
