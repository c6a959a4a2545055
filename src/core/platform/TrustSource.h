#pragma once

// Whether this process may move other applications' windows.
class TrustSource {
public:
    virtual ~TrustSource() = default;

    // The current answer, checked afresh.
    virtual bool isTrusted() const = 0;
    // Asks the desktop for the permission (which may show a prompt) and returns the answer now.
    virtual bool requestTrust() = 0;

protected:
    TrustSource() = default;
};
