#include "app/main_window.h"

namespace rw {

// "Start Creating Template": the generation run. It lands here in a later step; until then the button does
// nothing.
void Form1::PushButton1_Click() {}

}  // namespace rw
