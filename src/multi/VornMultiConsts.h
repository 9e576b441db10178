// The translation framework's message texts; "%s" stands for the offending name.
#pragma once

inline constexpr const char* SComponentAlreadyAdded = "component: \"%s\" already added.";
inline constexpr const char* SComponentAlreadyAddedInUnReplaceList =
    "component: \"%s\" already added in unreplace list.";
inline constexpr const char* SDDAlreadyExists = "data dictionary: \"%s\" already exists.";
inline constexpr const char* SDDReaderIDNotRegistered =
    "dictionary reader ID \"%s\" ,not registered!";
inline constexpr const char* SFieldNotFound = "field \"%s\" not found!";
inline constexpr const char* SDDReaderAlreadyRegistered =
    "dictionary reader \"%s\" already registered!";
inline constexpr const char* SFormClassAlreadyAdded = "form class: \"%s\" already added.";
