// For scripts/check-bundle: built once as a DLL and once as a program that
// needs it, which the check copies without the DLL.
#ifdef CHROMATTE_FIXTURE_DLL
extern "C" __declspec(dllexport) int FixtureDll() { return 0; }
#else
extern "C" __declspec(dllimport) int FixtureDll();
int main() { return FixtureDll(); }
#endif
