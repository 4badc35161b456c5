// The COM apartment of the user-interface thread, entered for the program's
// life (CoInitialize / CoUninitialize). Nothing to do off Windows.
#pragma once

class TComApartment {
  public:
    TComApartment();
    ~TComApartment();
    TComApartment(const TComApartment&) = delete;
    TComApartment& operator=(const TComApartment&) = delete;

    bool Entered() const { return entered_; }

  private:
    bool entered_ = false;
};
