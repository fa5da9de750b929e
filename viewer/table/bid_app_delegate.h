#pragma once

class UIView;

// The application delegate: holds the window and otherwise does nothing.
class BIDAppDelegate {
 public:
  BIDAppDelegate() = default;
  ~BIDAppDelegate() { setWindow(nullptr); }
  BIDAppDelegate(const BIDAppDelegate&) = delete;
  BIDAppDelegate& operator=(const BIDAppDelegate&) = delete;

  UIView* window() const { return window_; }
  void setWindow(UIView* window);  // strong

  bool applicationDidFinishLaunchingWithOptions() { return true; }
  void applicationWillResignActive() {}
  void applicationDidEnterBackground() {}
  void applicationWillEnterForeground() {}
  void applicationDidBecomeActive() {}
  void applicationWillTerminate() {}

 private:
  UIView* window_ = nullptr;
};
