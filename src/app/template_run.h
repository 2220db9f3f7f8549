#pragma once

namespace rw {

class Form1;

// What "Start Creating Template" sets going: the main window hands every click of its button to the run it
// was given, which works with the window's inputs and platform.
class TemplateRun {
  public:
    virtual ~TemplateRun() = default;
    virtual void start(Form1& window) = 0;
};

}  // namespace rw
