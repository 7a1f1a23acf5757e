#pragma once
// The program's pictures, drawn in code so that the program ships no image files: the button
// icons, the logo (window and file-type icon) and the wait dialog's picture.
#include <QIcon>
#include <QImage>

enum class TButtonIcon { NewDocument, Open, Save, Add, Remove, Up, Down, Sort, Print };

QIcon ButtonIcon(TButtonIcon kind);

// The logo, `size` x `size`, with a transparent background.
QImage LogoImage(int size);

// The 64 x 64 picture on the left of the wait dialog.
QImage WaitImage();
