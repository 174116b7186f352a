doc /* Engine parts, with names in German. */
package <E> Engine {
    part def Cylinder;
    comment about Cylinder /* a cylinder */
}
part def Kolben :> Piston, Base::Part;
attribute def Ölpumpe;
#Deprecated part 'Zylinder' : Kolben[4];
