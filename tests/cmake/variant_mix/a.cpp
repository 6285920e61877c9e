int LwVariantMixA()
{
    return 1;
}
