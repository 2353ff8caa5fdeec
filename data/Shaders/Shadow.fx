<?xml version="1.0" encoding="UTF-8"?>
<Effect>
	<Parameter type="float4x4" name="World"/>
	<Parameter type="float4x4" name="WorldViewProjection"/>
	<Parameter type="float4x4" name="ViewProjection" shared="true"/>
	<Parameter type="float4" name="LightDir" shared="true" default="0 1 0 1"/>
	<Parameter type="float" name="ShadowExtrude" default="200"/>
	<Technique name="Technique0">
		<Pass vertex="Shaders/Shadow.vert" fragment="Shaders/Shadow.frag">
			<State name="ZWriteEnable" value="false"/>
			<State name="ColorWriteEnable" value="0"/>
			<State name="CullMode" value="None"/>
			<State name="StencilEnable" value="true"/>
			<State name="TwoSidedStencilMode" value="true"/>
			<State name="StencilFunc" value="Always"/>
			<State name="StencilPass" value="Incr"/>
			<State name="CcwStencilFunc" value="Always"/>
			<State name="CcwStencilPass" value="Decr"/>
		</Pass>
	</Technique>
	<Technique name="Technique0x2">
		<Pass vertex="Shaders/Shadow.vert" fragment="Shaders/Shadow.frag">
			<State name="ZWriteEnable" value="false"/>
			<State name="ColorWriteEnable" value="0"/>
			<State name="CullMode" value="None"/>
			<State name="StencilEnable" value="true"/>
			<State name="TwoSidedStencilMode" value="true"/>
			<State name="StencilFunc" value="Always"/>
			<State name="StencilPass" value="Incr"/>
			<State name="CcwStencilFunc" value="Always"/>
			<State name="CcwStencilPass" value="Decr"/>
		</Pass>
	</Technique>
</Effect>
