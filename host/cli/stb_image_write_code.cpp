// The code of the stb PNG encoder, compiled once and without this project's
// warnings.
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb_image_write.h>
