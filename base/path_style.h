#pragma once

// How paths are spelled on the platform at hand. Functions that take paths apart or join
// them are told the style; none of them guesses the platform.
enum class PathStyle { Windows, Posix };
