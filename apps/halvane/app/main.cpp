// halvane: background removal of RFA screen images, a plug-in of the image
// viewer.
#include "apps/halvane/app/HalvaneStartUp.h"

int main(int argc, char** argv)
{
    return HalvaneMain(argc, argv);
}
