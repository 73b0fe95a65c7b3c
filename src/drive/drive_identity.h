// Whether two reads name the same drive. A read through the storage device
// descriptor (what a user without administrator rights gets) gives the
// drive's texts in other forms than IDENTIFY DEVICE: the serial trimmed or
// not, with each byte pair swapped or not, or written as hexadecimal digits
// of its raw bytes; the model cut to 16 characters behind a vendor "ATA ".
#pragma once

// Serials are the same when equal after trimming, after swapping each byte
// pair of one of them, or after decoding one written in hexadecimal.
bool SameSerial(const char* a, const char* b);

// Models are the same when their first 16 characters agree once blanks
// around them and a leading "ATA " are gone.
bool SameModel(const char* a, const char* b);

bool SameDriveIdentity(const char* modelA, const char* serialA, const char* modelB, const char* serialB);
