namespace veltrano::sim {
int placeholder() { return 0; }
}
