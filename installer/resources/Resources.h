#pragma once
// The data the installer carries in its own read-only data.
#include <string_view>

#include "Forward.h"

// The product's ZIP archive, written out unchanged as "sj.zip".
Bytes payloadArchive();
// The archive's SHA-256, recorded when the program was built.
Bytes payloadDigest();

// A picture by name: "close", "close-hover", "banner", "button", "button-hover", "button-disabled",
// "browse", "browse-hover", "ticked", "ticked-hover", "unticked", "unticked-hover", and the engine's
// "built-in strip" and "check mark"; the ones shown at their natural size also as "<name>@2x", drawn at
// twice the size. Empty for an unknown name.
Bytes picture(std::string_view name);

// The usage agreement, GBK, CR LF between lines; NUL-terminated in storage.
const char* agreementText();
Bytes agreementBytes();
