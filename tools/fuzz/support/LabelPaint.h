#pragma once

struct PrintTemplate;

namespace LabelPaint {

// Prints a label of the template for a sample device onto an image at one
// pixel per millimetre, as the printer would at its resolution.
void Render(const PrintTemplate& tpl);

}  // namespace LabelPaint
