// CText: a string that owns a NUL-terminated heap copy of its text. It has no
// editing operations; it carries station and channel names of the segment
// writer. Two CText objects never share a copy.
#pragma once

class CText {
public:
    // Holds no text.
    CText() = default;
    // Copies szSource with its terminator. Holds no text when szSource is null
    // or the memory for the copy cannot be obtained.
    CText(const char* szSource);  // NOLINT(google-explicit-constructor): names convert freely
    // A separate copy of the other's text.
    CText(const CText& other);
    // Releases the own copy and takes a separate copy of the other's text;
    // does nothing when both hold the very same copy (assignment to itself).
    CText& operator=(const CText& other);
    virtual ~CText();

    // Compares the held text with szOther byte by byte (as unsigned bytes)
    // after folding ASCII A-Z to lower case: 0 when equal, negative when the
    // held text sorts first, positive otherwise. No text and null count as "".
    int nCompareNoCase(const char* szOther) const;

    // The held text, or null when the object holds no text.
    const char* szGetText() const { return szText; }

private:
    void vCopyFrom(const char* szSource);

    char* szText = nullptr;
};
