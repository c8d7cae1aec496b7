// The program's pictures live in a resource file compiled into the static front-end
// library; they are registered before the first dialog needs them.
#pragma once

void EnsureResources();
