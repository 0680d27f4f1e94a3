// A stand-in for libvorbisenc for the binding tests: it lacks vorbis_encode_init.
#define STUB_EXPORT extern "C" __attribute__((visibility("default")))

struct vorbis_info;

STUB_EXPORT int vorbis_encode_init_vbr(vorbis_info*, long, long, float)
{
    return -130;  // OV_EIMPL
}
