#ifndef LOGGING_USER_ID_H_
#define LOGGING_USER_ID_H_

#include <string>

// The per-user identifier: a GUID kept as text in the roaming application
// data ("Norvel\ui"), with a registry marker that records that one was
// created, so that a deleted file is not silently replaced by a new identity.
namespace broupdater {

// The identifier without enclosing braces; empty when there is none.
// Created on the first call for a user. Not cached.
std::string GetUserId();

// Path of the identifier file; creates its folder when asked. Empty on
// failure.
std::wstring GetUserIdFilePath(bool create_directory);

// Writes / looks for the "UICreated_<user>" marker.
bool RememberUidIsCreated();
bool UidMarkerExists();

// A fresh random GUID, upper-case registry form without braces; empty when
// none can be made.
std::string NewGuidString();

}  // namespace broupdater

#endif  // LOGGING_USER_ID_H_
