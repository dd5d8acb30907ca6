#include "devices/instance_ids.h"

#include <cstring>

namespace {

// Length of the text in a buffer that a driver may have left unterminated.
size_t BoundedLength(const char* text, size_t capacity) {
    if (text == nullptr)
        return 0;
    const void* end = memchr(text, '\0', capacity);
    return end == nullptr ? capacity : size_t(static_cast<const char*>(end) - text);
}

// Index just past the last `c` in text[0, length), or 0 when there is none.
size_t PastLast(const char* text, size_t length, char c) {
    for (size_t i = length; i > 0; --i)
        if (text[i - 1] == c)
            return i;
    return 0;
}

UsbSerial NoSerial(SerialVerdict verdict) {
    UsbSerial serial{};
    serial.verdict = verdict;
    return serial;
}

}  // namespace

UsbSerial SerialFromDiskInstanceId(const char* id, size_t capacity) {
    size_t length = BoundedLength(id, capacity);
    size_t start = PastLast(id, length, '\\');
    if (start == 0)
        return NoSerial(SerialVerdict::NoBackslash);
    size_t pastAmpersand = PastLast(id + start, length - start, '&');
    if (pastAmpersand == 0)
        return NoSerial(SerialVerdict::NoAmpersand);
    size_t serialLength = pastAmpersand - 1;
    if (serialLength == 0)
        return NoSerial(SerialVerdict::Empty);
    // A cut serial could match the wrong device, so a long one matches none.
    if (serialLength >= kUsbSerialCapacity)
        return NoSerial(SerialVerdict::TooLong);

    UsbSerial serial{};
    serial.verdict = SerialVerdict::Found;
    memcpy(serial.text, id + start, serialLength);
    serial.length = serialLength;
    return serial;
}

bool UsbInstanceIdMatches(const char* id, size_t capacity, const UsbSerial& serial) {
    if (serial.verdict != SerialVerdict::Found || serial.length == 0 || serial.length >= kUsbSerialCapacity)
        return false;
    size_t length = BoundedLength(id, capacity);
    size_t start = PastLast(id, length, '\\');
    // Without a "\" the whole id would be compared, which no USB id means.
    if (start == 0)
        return false;
    return length - start == serial.length && memcmp(id + start, serial.text, serial.length) == 0;
}
