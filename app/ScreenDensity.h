#pragma once

// The window enlarges itself on screens of 120 pixels per inch or more, so Qt must not scale
// it as well there: scale factors below 1.75 round down to 1 and the window reads the screen's
// own density. Call before the application object exists.
void LetWindowEnlargeItself();
