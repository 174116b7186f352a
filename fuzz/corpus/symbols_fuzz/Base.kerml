/* Kernel base library */
standard library package 'Base Kernel' {
    classifier Anything;
    feature things : Anything[0..*];
}
package Ünits {
    datatype Meter;
}
// misc
public package Misc;
