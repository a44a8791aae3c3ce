#pragma once
// The wait cursor of a save or delete: shown from construction to destruction, also when the save
// throws, so the message that reports a failure never appears under it. Nested saves show it once.
// Without a graphical application (the tools) it does nothing.
class WaitCursor {
 public:
  WaitCursor();
  ~WaitCursor();
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;

  // Whether a save or delete is running (for the tests).
  static bool shown();

 private:
  bool set_ = false;
};
