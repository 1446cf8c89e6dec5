/* Deliberately empty. Built once per distribution codec library (libmpg123,
 * libogg, libvorbis, libvorbisenc) under the file name an engine loads from
 * Plugins; the library it was linked against is recorded by its soname, so
 * the dynamic loader brings it in and the engine's entry points resolve
 * through it, in the build folder and installed alike. */
